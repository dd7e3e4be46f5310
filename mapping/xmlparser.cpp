#include "mapping/xmlparser.h"

#include <QBuffer>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

namespace {

// True when the content is to be read as UTF-8: it has no byte-order mark of another
// encoding (nor starts with '<' in UTF-16 or UTF-32), and its XML declaration, if any,
// names no other encoding. Anything else the XML reader decodes as it declares.
bool isUtf8(const QByteArray &content)
{
    const std::optional<QStringConverter::Encoding> detected =
        QStringConverter::encodingForData(content, u'<');
    if (detected && *detected != QStringConverter::Utf8)
        return false;
    // The declaration is the first token if there is one; it is short and all ASCII.
    QXmlStreamReader head(
        QByteArray::fromRawData(content.constData(), qMin<qsizetype>(content.size(), 1024)));
    if (head.readNext() != QXmlStreamReader::StartDocument || head.documentEncoding().isEmpty())
        return true;
    return QStringConverter::encodingForName(head.documentEncoding().toLatin1().constData())
        == QStringConverter::Utf8;
}

// Offset of the first byte that does not belong to valid UTF-8 (a sequence cut off by the
// end included), or -1 when all of it is valid. Given such a byte, the XML reader would
// drop all it holds in its buffer; cut off there, it keeps everything before it.
qsizetype firstInvalidUtf8(const QByteArray &content)
{
    if (QByteArrayView(content).isValidUtf8())
        return -1;
    // Every invalid byte becomes U+0000; a sequence cut off by the end stays undecoded.
    // A byte-order mark is kept, so that the text re-encoded is as long as the bytes.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::ConvertInvalidToNull
                               | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(content);
    qsizetype end = text.indexOf(QChar(0));
    if (end < 0)
        end = text.size();
    // A zero byte before it ends the document as well: no XML holds one.
    return QStringView(text).left(end).toUtf8().size();
}

bool isBlank(QChar c)
{
    return c.isSpace();
}

// An optionally signed decimal integer with white space around it; anything else, an
// absent attribute included, or a value outside the range of int gives 0.
int toNumber(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    bool negative = false;
    if (begin < end && (text.at(begin) == u'-' || text.at(begin) == u'+')) {
        negative = text.at(begin) == u'-';
        ++begin;
    }
    if (begin == end)
        return 0;
    // Counted towards the negative limit, which is one larger than the positive one.
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min())
                                  : qint64(std::numeric_limits<int>::max());
    qint64 value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return 0;
    }
    return int(negative ? -value : value);
}

// The attribute of that exact name, or null when there is none.
const QXmlStreamAttribute *attribute(const QXmlStreamAttributes &atts, QLatin1String name)
{
    for (const QXmlStreamAttribute &att : atts) {
        if (att.qualifiedName() == name)
            return &att;
    }
    return nullptr;
}

int numberAttribute(const QXmlStreamAttributes &atts, QLatin1String name)
{
    const QXmlStreamAttribute *att = attribute(atts, name);
    return att ? toNumber(att->value()) : 0;
}

} // namespace

XmlParser::KeyConfig *XmlParser::Keyboard::addKeyConfig(const KeyConfig &config)
{
    configs.append(config);
    return &configs.last();
}

XmlParser::XmlParser() = default;

XmlParser::~XmlParser() = default;

void XmlParser::setLimits(qint64 maxBytes, int maxCombinations)
{
    m_maxBytes = maxBytes;
    m_maxCombinations = maxCombinations;
}

std::unique_ptr<XmlParser::Keyboard> XmlParser::parse(const QString &path)
{
    m_complete = false;
    m_errorString.clear();
    KeyMapFile::Contents contents = KeyMapFile::read(path, m_maxBytes);
    m_status = contents.status;
    m_fingerprint = contents.fingerprint;
    if (m_status == KeyMapFile::Status::Missing) {
        m_errorString = QStringLiteral("%1: no such file").arg(path);
        return nullptr;
    }
    if (m_status != KeyMapFile::Status::BytesRead) {
        // An existing file that is not read still gives a model, an empty one.
        m_errorString = QStringLiteral("%1: %2").arg(path, contents.errorString);
        return std::make_unique<Keyboard>();
    }
    auto result = read(std::exchange(contents.bytes, QByteArray()));
    if (m_tooManyCombinations) {
        m_status = KeyMapFile::Status::TooLarge;
        result = std::make_unique<Keyboard>();
    }
    // What was read may mix old and new content: taken as read only in part.
    if (contents.changedWhileRead && m_complete) {
        m_complete = false;
        m_errorString = contents.errorString;
    }
    if (!m_complete)
        m_errorString = QStringLiteral("%1: %2").arg(path, m_errorString);
    return result;
}

std::unique_ptr<XmlParser::Keyboard> XmlParser::read(const QByteArray &content)
{
    auto result = std::make_unique<Keyboard>();
    keyboard = result.get();
    // Each parse starts afresh: a combination of an earlier model, which the caller
    // owns and may have destroyed, never receives keys from this one.
    currentConfig = nullptr;
    m_complete = false;
    m_stopped = false;
    m_tooManyCombinations = false;
    m_errorString.clear();
    readAll(content);
    keyboard = nullptr;
    currentConfig = nullptr;
    return result;
}

void XmlParser::readAll(QByteArray content)
{
    // Without a declaration of another encoding the file is UTF-8, and reading stops at
    // the first byte that is not.
    const qsizetype invalidAt = isUtf8(content) ? firstInvalidUtf8(content) : -1;
    const bool zeroByte =
        invalidAt >= 0 && invalidAt < content.size() && content.at(invalidAt) == 0;
    if (invalidAt >= 0)
        content.truncate(invalidAt);
    // Through a device, the reader decodes a block at a time rather than the whole file
    // into one string of twice its size.
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&buffer);
    // Names are compared as written, prefixes included, so namespaces play no part.
    reader.setNamespaceProcessing(false);
    while (!m_stopped && !reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        // By view, not copied into strings: a file holds four elements per combination.
        handleStart(reader.qualifiedName(), reader.attributes());
    }
    if (m_tooManyCombinations) {
        m_errorString = QStringLiteral("more than %1 combinations").arg(m_maxCombinations);
    } else if (m_stopped) {
        m_errorString = QStringLiteral("line %1, column %2: stopped at element %3")
                            .arg(reader.lineNumber())
                            .arg(reader.columnNumber())
                            .arg(m_stoppedAt);
    } else if (invalidAt >= 0
               && (!reader.hasError()
                   || reader.error() == QXmlStreamReader::PrematureEndOfDocumentError)) {
        m_errorString =
            QStringLiteral("byte %1: %2")
                .arg(invalidAt)
                .arg(zeroByte ? QStringLiteral("a zero byte") : QStringLiteral("not valid UTF-8"));
    } else if (reader.hasError()) {
        m_errorString = QStringLiteral("line %1, column %2: %3")
                            .arg(reader.lineNumber())
                            .arg(reader.columnNumber())
                            .arg(reader.errorString());
    } else {
        m_complete = true;
    }
}

bool XmlParser::startElement(const QString &namespaceURI, const QString &localName,
                             const QString &qName, const QXmlStreamAttributes &atts)
{
    Q_UNUSED(namespaceURI);
    Q_UNUSED(localName);
    handleStart(qName, atts);
    return true;
}

void XmlParser::handleStart(QStringView qName, const QXmlStreamAttributes &atts)
{
    if (qName == u"hardware-keyboard")
        return;
    if (qName == u"key-config") {
        if (keyboard && keyboard->items().size() >= m_maxCombinations) {
            m_tooManyCombinations = true;
            m_stopped = true;
        } else if (keyboard) {
            currentConfig = keyboard->addKeyConfig(KeyConfig());
        }
        return;
    }
    if (qName == u"key") {
        // Before the first combination there is nothing to add the key to.
        if (currentConfig)
            currentConfig->addKey(Key(numberAttribute(atts, QLatin1String("keycode")),
                                      numberAttribute(atts, QLatin1String("state"))));
        return;
    }
    if (qName == u"replacement") {
        if (currentConfig) {
            QString text;
            if (const QXmlStreamAttribute *att = attribute(atts, QLatin1String("text"))) {
                text = att->value().toString();
                // A present but empty text is set, unlike an absent one.
                if (text.isNull())
                    text = QLatin1String("");
            }
            currentConfig->setReplacement(text);
        }
        return;
    }
    m_stoppedAt = qName.toString();
    unknownTag(m_stoppedAt);
}

void XmlParser::unknownTag(const QString &qName)
{
    // Written byte for byte, not through a message handler that could reformat it.
    const QByteArray message = "Unknow tag " + qName.toLatin1() + '\n';
    std::fwrite(message.constData(), 1, size_t(message.size()), stderr);
    std::fflush(stderr);
    // An orderly end, not an abort: no core dump for a file the user can mend.
    std::exit(1);
}

void XmlParser::stop()
{
    m_stopped = true;
}
