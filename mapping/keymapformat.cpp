#include "mapping/keymapformat.h"

namespace KeyMapFormat {

QString documentStart()
{
    return QStringLiteral("<hardware-keyboard>\n");
}

QString combinationStart()
{
    return QStringLiteral("\t<key-config>\n");
}

QString keyLine(int key, int state)
{
    return QStringLiteral("\t\t<key keycode=\"%1\" state=\"%2\"/>\n").arg(key).arg(state);
}

QString replacementLine(const QString &text)
{
    return QStringLiteral("\t\t<replacement text=\"") + escapeAttribute(text)
        + QStringLiteral("\"/>\n");
}

QString combinationEnd()
{
    return QStringLiteral("\t</key-config>\n");
}

// No line feed after the root's end tag: the file ends right there.
QString documentEnd()
{
    return QStringLiteral("</hardware-keyboard>");
}

QString escapeAttribute(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            out.append(c);
            out.append(text.at(++i));
            continue;
        }
        switch (u) {
        case u'&':
            out.append(QLatin1String("&amp;"));
            continue;
        case u'<':
            out.append(QLatin1String("&lt;"));
            continue;
        case u'"':
            out.append(QLatin1String("&quot;"));
            continue;
        case u'\t':
            out.append(QLatin1String("&#9;"));
            continue;
        case u'\n':
            out.append(QLatin1String("&#10;"));
            continue;
        case u'\r':
            out.append(QLatin1String("&#13;"));
            continue;
        default:
            break;
        }
        // Characters XML 1.0 cannot hold (other controls, surrogates without their
        // partner, U+FFFE, U+FFFF) would make the rest of the file unreadable.
        if (u < 0x20 || c.isSurrogate() || u == 0xFFFE || u == 0xFFFF)
            continue;
        out.append(c);
    }
    return out;
}

QByteArray encode(const QString &document)
{
    return document.toUtf8();
}

} // namespace KeyMapFormat
