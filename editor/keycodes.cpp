#include "editor/keycodes.h"

namespace KeyCodes {

namespace {

    constexpr int qtSpecialBase = Qt::Key_Escape; // 0x01000000
    constexpr int specialBase = 0x1000;
    constexpr int largestCode = 0xffff;

    // The key label table. Returns a null string for a key without an entry; sets
    // *replacing for the entries whose label stands alone, without a "Sh+" prefix.
    QString keyLabel(int key, int state, bool *replacing)
    {
        *replacing = true;
        switch (key) {
        case 0x22:
            return QStringLiteral("\"");
        case 0x29: // only shift counts here, not control
            return (state & KeyCodes::ShiftBit) ? QStringLiteral("Fn+Sh+,") : QStringLiteral(")");
        case 0x3b:
            return QStringLiteral(";");
        case 0x3f:
            return QStringLiteral("?");
        case 0x60:
            return QStringLiteral("Fn+Sh+space");
        case 0x7b:
            return QStringLiteral("Shift + Delete");
        }

        *replacing = false;
        switch (key) {
        case 0x20:
            return QStringLiteral("space");
        case 0x1003:
            return QStringLiteral("backspace");
        case 0x1004:
            return QStringLiteral("return");
        case 0x1007:
            return QStringLiteral("delete");
        }
        if (key >= 'A' && key <= 'Z')
            return QString(QChar(key - 'A' + 'a'));
        if (key >= '0' && key <= '9')
            return QString(QChar(key));
        static const QString punctuation = QStringLiteral("!#$%&'(*+,-./:<=>@_~");
        if (key > 0x20 && key < 0x7f && punctuation.contains(QChar(key)))
            return QString(QChar(key));
        return QString();
    }

} // namespace

int keyFromQt(int qtKey)
{
    if (qtKey >= qtSpecialBase) {
        const int code = specialBase + (qtKey - qtSpecialBase);
        return code <= largestCode ? code : NoKey;
    }
    if (qtKey >= 0 && qtKey < specialBase)
        return qtKey;
    return NoKey;
}

int stateFromQt(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= ShiftBit;
    if (modifiers & Qt::ControlModifier)
        state |= ControlBit;
    if (modifiers & Qt::AltModifier)
        state |= AltBit;
    if (modifiers & Qt::MetaModifier)
        state |= MetaBit;
    if (modifiers & Qt::KeypadModifier)
        state |= KeypadBit;
    return state;
}

QString label(int key, int state)
{
    bool replacing = false;
    const QString text = keyLabel(key, state, &replacing);
    if (text.isNull() || replacing)
        return text;
    // Control gives the same prefix as shift.
    return (state & (ControlBit | ShiftBit)) ? QStringLiteral("Sh+") + text : text;
}

} // namespace KeyCodes
