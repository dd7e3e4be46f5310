#include "mapping/xmlparser.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

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
    QXmlStreamReader reader(device);
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
