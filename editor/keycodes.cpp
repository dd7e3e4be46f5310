#include "editor/keycodes.h"

namespace KeyCodes {

namespace {

    constexpr int qtSpecialBase = Qt::Key_Escape; // 0x01000000
    constexpr int specialBase = 0x1000;
    constexpr int largestCode = 0xffff;

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

} // namespace KeyCodes
