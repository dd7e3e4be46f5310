#include "mapping/xmlparser.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Length of the valid UTF-8 sequence at data[0], 0 when the bytes there are not valid
// UTF-8 (overlong forms, surrogates and values beyond U+10FFFF included), and -1 when
// they are a valid beginning cut off by the end of the data.
int utf8SequenceLength(const unsigned char *data, qsizetype available)
{
    const unsigned char lead = data[0];
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (i >= available)
            return -1;
        const unsigned char c = data[i];
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

// Hands on the bytes of a device as long as they are valid UTF-8 and ends, remembering
// where, at the first byte that is not. The XML reader then sees a premature end there
// and keeps everything before it.
class Utf8Filter : public QIODevice
{
public:
    explicit Utf8Filter(QIODevice *source)
        : m_source(source)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    bool atEnd() const override { return m_done && m_pos == m_chunk.size(); }
    // Offset of the first byte that is not valid UTF-8, or -1.
    qint64 invalidAt() const { return m_invalidAt; }
    bool sourceFailed() const { return m_sourceFailed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        while (m_pos == m_chunk.size() && !m_done)
            refill();
        const qint64 count = qMin<qint64>(maxSize, m_chunk.size() - m_pos);
        if (count > 0)
            std::memcpy(data, m_chunk.constData() + m_pos, size_t(count));
        m_pos += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    void refill()
    {
        const QByteArray read = m_source->read(64 * 1024);
        if (read.isEmpty()) {
            m_sourceFailed = !m_source->atEnd();
            // A sequence cut off by the end of the file is not valid either.
            if (!m_carry.isEmpty())
                m_invalidAt = m_offset;
            m_done = true;
            return;
        }
        m_chunk = m_carry + read;
        m_carry.clear();
        m_pos = 0;
        const auto *bytes = reinterpret_cast<const unsigned char *>(m_chunk.constData());
        const qsizetype size = m_chunk.size();
        qsizetype i = 0;
        while (i < size) {
            // Most of the file is ASCII: pass eight such bytes at a time.
            if (i + 8 <= size) {
                quint64 block;
                std::memcpy(&block, bytes + i, sizeof block);
                if (!(block & Q_UINT64_C(0x8080808080808080))) {
                    i += 8;
                    continue;
                }
            }
            const int length = utf8SequenceLength(bytes + i, size - i);
            if (length > 0) {
                i += length;
            } else if (length < 0) {
                m_carry = m_chunk.mid(i);
                break;
            } else {
                m_invalidAt = m_offset + i;
                m_done = true;
                break;
            }
        }
        m_chunk.truncate(i);
        m_offset += i;
    }

    QIODevice *m_source;
    QByteArray m_chunk; // valid bytes not yet handed on from m_pos
    qsizetype m_pos = 0;
    QByteArray m_carry; // the beginning of a sequence that the next read completes
    qint64 m_offset = 0; // of m_chunk's end in the source
    qint64 m_invalidAt = -1;
    bool m_done = false;
    bool m_sourceFailed = false;
};

std::function<void()> &beforeExitHook()
{
    static std::function<void()> hook;
    return hook;
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

void XmlParser::setBeforeExit(std::function<void()> hook)
{
    beforeExitHook() = std::move(hook);
}

std::unique_ptr<XmlParser::Keyboard> XmlParser::parse(const QString &path)
{
    m_complete = false;
    m_errorString.clear();
    if (!QFileInfo::exists(path)) {
        m_errorString = QStringLiteral("%1: no such file").arg(path);
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // An existing file that cannot be read still gives a model, an empty one.
        m_errorString = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::make_unique<Keyboard>();
    }
    auto result = read(&file);
    if (!m_complete)
        m_errorString = QStringLiteral("%1: %2").arg(path, m_errorString);
    return result;
}

std::unique_ptr<XmlParser::Keyboard> XmlParser::read(QIODevice *device)
{
    auto result = std::make_unique<Keyboard>();
    keyboard = result.get();
    // Each parse starts afresh: a combination of an earlier model, which the caller
    // owns and may have destroyed, never receives keys from this one.
    currentConfig = nullptr;
    m_complete = false;
    m_stopped = false;
    m_errorString.clear();
    readAll(device);
    keyboard = nullptr;
    currentConfig = nullptr;
    return result;
}

void XmlParser::readAll(QIODevice *device)
{
    // The file is UTF-8; reading stops at the first byte that is not.
    Utf8Filter filter(device);
    QXmlStreamReader reader(&filter);
    // Names are compared as written, prefixes included, so namespaces play no part.
    reader.setNamespaceProcessing(false);
    while (!m_stopped && !reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        startElement(QString(), reader.name().toString(), reader.qualifiedName().toString(),
                     reader.attributes());
    }
    if (m_stopped) {
        m_errorString = QStringLiteral("line %1, column %2: stopped at element %3")
                            .arg(reader.lineNumber())
                            .arg(reader.columnNumber())
                            .arg(m_stoppedAt);
    } else if (filter.invalidAt() >= 0
               && (!reader.hasError()
                   || reader.error() == QXmlStreamReader::PrematureEndOfDocumentError)) {
        m_errorString = QStringLiteral("byte %1: not valid UTF-8").arg(filter.invalidAt());
    } else if (filter.sourceFailed()) {
        m_errorString = QStringLiteral("read error: %1").arg(device->errorString());
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
    if (qName == u"hardware-keyboard")
        return true;
    if (qName == u"key-config") {
        if (keyboard)
            currentConfig = keyboard->addKeyConfig(KeyConfig());
        return true;
    }
    if (qName == u"key") {
        // Before the first combination there is nothing to add the key to.
        if (currentConfig)
            currentConfig->addKey(Key(numberAttribute(atts, QLatin1String("keycode")),
                                      numberAttribute(atts, QLatin1String("state"))));
        return true;
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
        return true;
    }
    m_stoppedAt = qName;
    unknownTag(qName);
    return true;
}

void XmlParser::unknownTag(const QString &qName)
{
    // Written byte for byte, not through a message handler that could reformat it.
    const QByteArray message = "Unknow tag " + qName.toLatin1() + '\n';
    std::fwrite(message.constData(), 1, size_t(message.size()), stderr);
    std::fflush(stderr);
    if (beforeExitHook())
        beforeExitHook()();
    // An orderly end, not an abort: no core dump for a file the user can mend.
    std::exit(1);
}

void XmlParser::stop()
{
    m_stopped = true;
}
