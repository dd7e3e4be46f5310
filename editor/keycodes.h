#ifndef KEYCODES_H
#define KEYCODES_H

#include <QString>
#include <Qt>

// Key presses arrive in Qt 6's numbering, but the key label table and the key mapping
// file (which the input method reads too) use a fixed 16-bit numbering of their own:
// printable keys at their character codes, special keys from 0x1000 upwards, shift as
// bit 0x08 and control as bit 0x10. These functions translate one into the other.
namespace KeyCodes {

// The code a key has no place for in the fixed numbering.
constexpr int NoKey = -1;

// Modifier bits of the fixed numbering.
constexpr int ShiftBit = 0x08;
constexpr int ControlBit = 0x10;
constexpr int AltBit = 0x20;
constexpr int MetaBit = 0x40;
constexpr int KeypadBit = 0x4000;

// Qt's special keys (Escape = 0x01000000 and up) move to 0x1000 and up with the same
// offset, so Backspace becomes 0x1003, Return 0x1004 and Delete 0x1007. Printable keys
// below 0x1000 keep their codes. Everything else gives NoKey: special keys whose new code
// would not fit in 16 bits (Qt::Key_unknown among them) and printable keys from 0x1000
// up, which would otherwise be taken for special keys ("ᄄ", U+1004, is not Return).
int keyFromQt(int qtKey);

// Shift and Control become 0x08 and 0x10. Alt, Meta and Keypad are carried as well, as
// 0x20, 0x40 and 0x4000: they never change a label, but a combination typed with Alt
// must not be stored as the same keys typed without it. Qt's group switch is dropped.
int stateFromQt(Qt::KeyboardModifiers modifiers);

// The label a capture button shows for a key ("q", "Sh+q", "Fn+Sh+,"), by the key label
// table; a null string for a key without an entry, which no button takes.
QString label(int key, int state);

} // namespace KeyCodes

#endif // KEYCODES_H
