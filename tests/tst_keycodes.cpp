#include "editor/keycodes.h"

#include <QTest>

// Qt 6 numbering -> the fixed numbering of the label table and the key mapping file.
class KeyCodesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyFromQt_data();
    void keyFromQt();
    void stateFromQt_data();
    void stateFromQt();
};

void KeyCodesTest::keyFromQt_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("expected");

    QTest::newRow("no key") << 0 << 0;
    QTest::newRow("space") << int(Qt::Key_Space) << 0x20;
    QTest::newRow("letter Q") << int(Qt::Key_Q) << 0x51;
    QTest::newRow("paren right") << int(Qt::Key_ParenRight) << 0x29;
    QTest::newRow("asciitilde") << int(Qt::Key_AsciiTilde) << 0x7e;
    QTest::newRow("latin-1 A diaeresis") << int(Qt::Key_Adiaeresis) << 0xc4;
    QTest::newRow("cyrillic A") << 0x0410 << 0x0410;
    QTest::newRow("last printable below specials") << 0x0fff << 0x0fff;
    QTest::newRow("printable 0x1000 clashes with escape") << 0x1000 << KeyCodes::NoKey;
    QTest::newRow("printable 0x1004 clashes with return") << 0x1004 << KeyCodes::NoKey;
    QTest::newRow("escape") << int(Qt::Key_Escape) << 0x1000;
    QTest::newRow("tab") << int(Qt::Key_Tab) << 0x1001;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0x1003;
    QTest::newRow("return") << int(Qt::Key_Return) << 0x1004;
    QTest::newRow("enter") << int(Qt::Key_Enter) << 0x1005;
    QTest::newRow("delete") << int(Qt::Key_Delete) << 0x1007;
    QTest::newRow("shift") << int(Qt::Key_Shift) << 0x1020;
    QTest::newRow("F1") << int(Qt::Key_F1) << 0x1030;
    QTest::newRow("largest special that fits") << 0x0100efff << 0xffff;
    QTest::newRow("first special too large") << 0x0100f000 << KeyCodes::NoKey;
    QTest::newRow("media last") << int(Qt::Key_MediaLast) << KeyCodes::NoKey;
    QTest::newRow("unknown") << int(Qt::Key_unknown) << KeyCodes::NoKey;
}

void KeyCodesTest::keyFromQt()
{
    QFETCH(int, qtKey);
    QFETCH(int, expected);
    QCOMPARE(KeyCodes::keyFromQt(qtKey), expected);
}

void KeyCodesTest::stateFromQt_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("expected");

    QTest::newRow("none") << Qt::KeyboardModifiers() << 0;
    QTest::newRow("shift") << Qt::KeyboardModifiers(Qt::ShiftModifier) << 0x08;
    QTest::newRow("control") << Qt::KeyboardModifiers(Qt::ControlModifier) << 0x10;
    QTest::newRow("shift+control") << (Qt::ShiftModifier | Qt::ControlModifier) << 0x18;
    QTest::newRow("alt") << Qt::KeyboardModifiers(Qt::AltModifier) << 0x20;
    QTest::newRow("meta") << Qt::KeyboardModifiers(Qt::MetaModifier) << 0x40;
    QTest::newRow("keypad") << Qt::KeyboardModifiers(Qt::KeypadModifier) << 0x4000;
    QTest::newRow("group switch dropped") << Qt::KeyboardModifiers(Qt::GroupSwitchModifier) << 0;
    QTest::newRow("all") << (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier
                             | Qt::MetaModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier)
                         << 0x4078;
}

void KeyCodesTest::stateFromQt()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, expected);
    const int state = KeyCodes::stateFromQt(modifiers);
    QCOMPARE(state, expected);
    QVERIFY(state >= 0 && state <= 0xffff);
}

QTEST_MAIN(KeyCodesTest)
#include "tst_keycodes.moc"
