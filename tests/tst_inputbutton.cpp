#include "editor/inputbutton.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

// Counts the key presses that travel on from a child.
class KeyRecorder : public QWidget
{
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        ++presses;
        QWidget::keyPressEvent(event);
    }
};

const QString selectKey = QStringLiteral("Select Key");

} // namespace

class InputButtonTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void labels_data();
    void labels();
    void ampersandShowsAsItself();
    void keyPresses_data();
    void keyPresses();
    void keyWithoutEntryKeepsCapturedKey_data();
    void keyWithoutEntryKeepsCapturedKey();
    void builtFromUnlabelledKey_data();
    void builtFromUnlabelledKey();
    void builtFromLabelledKey();
    void clickTakesFocus();
    void keyPressStaysInButton_data();
    void keyPressStaysInButton();
    void keysNeverClick_data();
    void keysNeverClick();
    void shortcutsElsewhereAreCaptured();
    void tabStillMovesFocus();
};

// The key label table, one row per entry kind and per boundary around the entries.
// An empty label means "no entry": the button must stay exactly as it was.
void InputButtonTest::labels_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("label");

    QTest::newRow("q") << 0x51 << 0 << "q";
    QTest::newRow("Sh+q by shift") << 0x51 << 0x08 << "Sh+q";
    QTest::newRow("Sh+q by control") << 0x51 << 0x10 << "Sh+q";
    QTest::newRow("Sh+q by both") << 0x51 << 0x18 << "Sh+q";
    QTest::newRow("other bit leaves label") << 0x51 << 0x20 << "q";
    QTest::newRow("a") << 0x41 << 0 << "a";
    QTest::newRow("z") << 0x5a << 0 << "z";
    QTest::newRow("0") << 0x30 << 0 << "0";
    QTest::newRow("9") << 0x39 << 0 << "9";
    QTest::newRow("space") << 0x20 << 0 << "space";
    QTest::newRow("Sh+space") << 0x20 << 0x08 << "Sh+space";
    QTest::newRow("!") << 0x21 << 0 << "!";
    QTest::newRow("#") << 0x23 << 0 << "#";
    QTest::newRow("'") << 0x27 << 0 << "'";
    QTest::newRow("(") << 0x28 << 0 << "(";
    QTest::newRow("Sh+/") << 0x2f << 0x08 << "Sh+/";
    QTest::newRow(":") << 0x3a << 0 << ":";
    QTest::newRow(">") << 0x3e << 0 << ">";
    QTest::newRow("@") << 0x40 << 0 << "@";
    QTest::newRow("_") << 0x5f << 0 << "_";
    QTest::newRow("~") << 0x7e << 0 << "~";
    QTest::newRow("backspace") << 0x1003 << 0 << "backspace";
    QTest::newRow("Sh+return") << 0x1004 << 0x08 << "Sh+return";
    QTest::newRow("delete") << 0x1007 << 0 << "delete";

    QTest::newRow(") plain") << 0x29 << 0 << ")";
    QTest::newRow("Fn+Sh+, by shift") << 0x29 << 0x08 << "Fn+Sh+,";
    QTest::newRow(") with control") << 0x29 << 0x10 << ")";
    QTest::newRow("Fn+Sh+, with shift+control") << 0x29 << 0x18 << "Fn+Sh+,";
    QTest::newRow("quote drops Sh+") << 0x22 << 0x08 << "\"";
    QTest::newRow("; drops Sh+") << 0x3b << 0x08 << ";";
    QTest::newRow("? drops Sh+") << 0x3f << 0x10 << "?";
    QTest::newRow("Fn+Sh+space drops Sh+") << 0x60 << 0x08 << "Fn+Sh+space";
    QTest::newRow("Shift + Delete drops Sh+") << 0x7b << 0x08 << "Shift + Delete";

    QTest::newRow("0x1f") << 0x1f << 0 << QString();
    QTest::newRow("+") << 0x2b << 0 << "+";
    QTest::newRow("[") << 0x5b << 0 << QString();
    QTest::newRow("^") << 0x5e << 0 << QString();
    QTest::newRow("lower-case a") << 0x61 << 0 << QString();
    QTest::newRow("lower-case z") << 0x7a << 0 << QString();
    QTest::newRow("|") << 0x7c << 0 << QString();
    QTest::newRow("}") << 0x7d << 0 << QString();
    QTest::newRow("0x7f") << 0x7f << 0 << QString();
    QTest::newRow("0x1002") << 0x1002 << 0 << QString();
    QTest::newRow("0x1005") << 0x1005 << 0x08 << QString();
    QTest::newRow("0x1006") << 0x1006 << 0 << QString();
    QTest::newRow("0x1008") << 0x1008 << 0 << QString();
    QTest::newRow("negative") << -1 << 0 << QString();
    QTest::newRow("q beyond 16 bits") << 0x10051 << 0 << QString();
    QTest::newRow("return beyond 16 bits") << 0x11004 << 0 << QString();
}

void InputButtonTest::labels()
{
    QFETCH(int, key);
    QFETCH(int, state);
    QFETCH(QString, label);

    InputButton button;
    button.setText(key, state);
    if (label.isNull()) {
        QCOMPARE(button.text(), selectKey);
        QVERIFY(!button.changed());
        QVERIFY(!button.hasKey());
    } else {
        QCOMPARE(button.text(), label);
        QVERIFY(button.changed());
        QVERIFY(button.hasKey());
        QCOMPARE(button.key(), key);
        QCOMPARE(button.state(), state);
    }
}

// '&' would otherwise be read as a mnemonic marker: shown as nothing, named as nothing.
void InputButtonTest::ampersandShowsAsItself()
{
    InputButton button;
    button.setText(0x26, 0x08);
    QCOMPARE(button.text(), QStringLiteral("Sh+&&"));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&button);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Sh+&"));
    QCOMPARE(button.key(), 0x26);
}

// Real key events in Qt 6 numbering, converted before labelling.
void InputButtonTest::keyPresses_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("state");

    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers shift(Qt::ShiftModifier);
    QTest::newRow("q") << int(Qt::Key_Q) << none << "q" << 0x51 << 0;
    QTest::newRow("Sh+q") << int(Qt::Key_Q) << shift << "Sh+q" << 0x51 << 0x08;
    QTest::newRow("Ctrl+q") << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::ControlModifier)
                            << "Sh+q" << 0x51 << 0x10;
    QTest::newRow("Alt+q") << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::AltModifier) << "q"
                           << 0x51 << 0x20;
    QTest::newRow(")") << int(Qt::Key_ParenRight) << none << ")" << 0x29 << 0;
    QTest::newRow("Fn+Sh+,") << int(Qt::Key_ParenRight) << shift << "Fn+Sh+," << 0x29 << 0x08;
    QTest::newRow("Sh+quote keeps the bit")
        << int(Qt::Key_QuoteDbl) << shift << "\"" << 0x22 << 0x08;
    QTest::newRow("Sh+backquote") << int(Qt::Key_QuoteLeft) << shift << "Fn+Sh+space" << 0x60
                                  << 0x08;
    QTest::newRow("Sh+return") << int(Qt::Key_Return) << shift << "Sh+return" << 0x1004 << 0x08;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << none << "backspace" << 0x1003 << 0;
    QTest::newRow("delete") << int(Qt::Key_Delete) << none << "delete" << 0x1007 << 0;
    QTest::newRow("space") << int(Qt::Key_Space) << none << "space" << 0x20 << 0;
    QTest::newRow("keypad 1") << int(Qt::Key_1) << Qt::KeyboardModifiers(Qt::KeypadModifier) << "1"
                              << 0x31 << 0x4000;
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << QString() << 0 << 0;
    QTest::newRow("escape") << int(Qt::Key_Escape) << none << QString() << 0 << 0;
    QTest::newRow("F1") << int(Qt::Key_F1) << none << QString() << 0 << 0;
}

void InputButtonTest::keyPresses()
{
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, label);
    QFETCH(int, key);
    QFETCH(int, state);

    InputButton button;
    button.show();
    QVERIFY(QTest::qWaitForWindowActive(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(button.hasFocus());

    // keyClick also presses and releases the modifiers as keys of their own first.
    QTest::keyClick(&button, Qt::Key(qtKey), modifiers);
    if (label.isNull()) {
        QCOMPARE(button.text(), selectKey);
        QVERIFY(!button.changed());
    } else {
        QCOMPARE(button.text(), label);
        QVERIFY(button.changed());
        QCOMPARE(button.key(), key);
        QCOMPARE(button.state(), state);
    }
}

void InputButtonTest::keyWithoutEntryKeepsCapturedKey_data()
{
    QTest::addColumn<int>("qtKey");

    QTest::newRow("F1") << int(Qt::Key_F1);
    QTest::newRow("escape") << int(Qt::Key_Escape);
    QTest::newRow("shift alone") << int(Qt::Key_Shift);
    QTest::newRow("bracket") << int(Qt::Key_BracketLeft);
    QTest::newRow("unknown") << int(Qt::Key_unknown);
}

void InputButtonTest::keyWithoutEntryKeepsCapturedKey()
{
    QFETCH(int, qtKey);

    InputButton button;
    button.show();
    QVERIFY(QTest::qWaitForWindowActive(&button));
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Q, Qt::ShiftModifier);
    QCOMPARE(button.text(), QStringLiteral("Sh+q"));

    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QApplication::sendEvent(&button, &press);
    QCOMPARE(button.text(), QStringLiteral("Sh+q"));
    QVERIFY(button.changed());
    QCOMPARE(button.key(), 0x51);
    QCOMPARE(button.state(), 0x08);
}

// A key read from the file that has no label: empty, not changed, but kept for saving.
void InputButtonTest::builtFromUnlabelledKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("state");

    QTest::newRow("0x1005") << 0x1005 << 0x08;
    QTest::newRow("F1") << 0x1030 << 0;
    QTest::newRow("lower-case q") << 0x71 << 0x10;
    QTest::newRow("negative") << -7 << -1;
    QTest::newRow("q beyond 16 bits") << 0x10051 << 0x12345;
}

void InputButtonTest::builtFromUnlabelledKey()
{
    QFETCH(int, key);
    QFETCH(int, state);

    InputButton button(key, state);
    QVERIFY(button.text().isEmpty());
    QVERIFY(!button.changed());
    QVERIFY(button.hasKey());
    QCOMPARE(button.key(), key);
    QCOMPARE(button.state(), state);
    QVERIFY(button.toolTip().contains(QString::number(key)));
    QVERIFY(button.toolTip().contains(QString::number(state)));

    // A newly captured key replaces it as usual.
    button.show();
    QVERIFY(QTest::qWaitForWindowActive(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::keyClick(&button, Qt::Key_W);
    QCOMPARE(button.text(), QStringLiteral("w"));
    QVERIFY(button.changed());
    QCOMPARE(button.key(), 0x57);
    QCOMPARE(button.state(), 0);
    QVERIFY(button.toolTip().isEmpty());
}

void InputButtonTest::builtFromLabelledKey()
{
    InputButton button(0x1004, 0x08);
    QCOMPARE(button.text(), QStringLiteral("Sh+return"));
    QVERIFY(button.changed());
    QVERIFY(button.hasKey());
    QCOMPARE(button.key(), 0x1004);
    QCOMPARE(button.state(), 0x08);
    QVERIFY(button.toolTip().isEmpty());
}

void InputButtonTest::clickTakesFocus()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *other = new QPushButton(QStringLiteral("other"), &window);
    auto *button = new InputButton(&window);
    layout->addWidget(other);
    layout->addWidget(button);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QVERIFY(!button->hasFocus());

    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(button->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
    QCOMPARE(button->text(), QStringLiteral("7"));
}

void InputButtonTest::keyPressStaysInButton_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

    QTest::newRow("q") << int(Qt::Key_Q) << Qt::KeyboardModifiers();
    QTest::newRow("F1, no entry") << int(Qt::Key_F1) << Qt::KeyboardModifiers();
    QTest::newRow("escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers();
    QTest::newRow("space") << int(Qt::Key_Space) << Qt::KeyboardModifiers();
    QTest::newRow("return") << int(Qt::Key_Return) << Qt::KeyboardModifiers();
    QTest::newRow("up") << int(Qt::Key_Up) << Qt::KeyboardModifiers();
    QTest::newRow("ctrl+tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::ControlModifier);
}

void InputButtonTest::keyPressStaysInButton()
{
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, modifiers);

    KeyRecorder parent;
    auto *layout = new QVBoxLayout(&parent);
    auto *button = new InputButton(&parent);
    layout->addWidget(button);
    parent.show();
    QVERIFY(QTest::qWaitForWindowActive(&parent));
    button->setFocus();

    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers);
    QApplication::sendEvent(button, &press);
    QVERIFY(press.isAccepted());
    QTest::keyClick(button, Qt::Key(qtKey), modifiers);
    QCOMPARE(parent.presses, 0);
}

void InputButtonTest::keysNeverClick_data()
{
    QTest::addColumn<int>("qtKey");

    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("enter") << int(Qt::Key_Enter);
    QTest::newRow("select") << int(Qt::Key_Select);
}

void InputButtonTest::keysNeverClick()
{
    QFETCH(int, qtKey);

    InputButton button;
    button.setAutoDefault(true); // return would click an auto-default push button
    button.show();
    QVERIFY(QTest::qWaitForWindowActive(&button));
    button.setFocus();
    QSignalSpy clicked(&button, &QAbstractButton::clicked);

    QTest::keyClick(&button, Qt::Key(qtKey));
    QTest::keyPress(&button, Qt::Key(qtKey));
    QTest::qWait(20);
    QTest::keyRelease(&button, Qt::Key(qtKey));
    QCOMPARE(clicked.count(), 0);
    QVERIFY(!button.isDown());
}

// Keys that are shortcuts elsewhere in the window still reach the focused button.
void InputButtonTest::shortcutsElsewhereAreCaptured()
{
    QTabWidget tabs;
    auto *first = new QWidget;
    auto *layout = new QVBoxLayout(first);
    auto *button = new InputButton(first);
    auto *mnemonic = new QPushButton(QStringLiteral("&Other"), first);
    layout->addWidget(button);
    layout->addWidget(mnemonic);
    tabs.addTab(first, QStringLiteral("first"));
    tabs.addTab(new QWidget, QStringLiteral("second"));
    tabs.show();
    QVERIFY(QTest::qWaitForWindowActive(&tabs));
    QSignalSpy mnemonicClicked(mnemonic, &QAbstractButton::clicked);

    // Without the button in focus, both keys do their usual work: the test can fail.
    mnemonic->setFocus();
    QTest::keyClick(mnemonic, Qt::Key_O, Qt::AltModifier);
    // A mnemonic animates the click, which is emitted after a short delay.
    QTRY_COMPARE_WITH_TIMEOUT(mnemonicClicked.count(), 1, 2000);
    QTest::keyClick(mnemonic, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs.currentIndex(), 1);
    tabs.setCurrentIndex(0);
    mnemonicClicked.clear();

    button->setFocus();
    QVERIFY(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs.currentIndex(), 0);
    QVERIFY(button->hasFocus());

    QTest::keyClick(button, Qt::Key_O, Qt::AltModifier);
    QTest::qWait(300);
    QCOMPARE(mnemonicClicked.count(), 0);
    QCOMPARE(button->text(), QStringLiteral("o"));
    QCOMPARE(button->state(), 0x20);
}

void InputButtonTest::tabStillMovesFocus()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *button = new InputButton(&window);
    auto *next = new QPushButton(QStringLiteral("next"), &window);
    layout->addWidget(button);
    layout->addWidget(next);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    button->setFocus();

    QTest::keyClick(button, Qt::Key_Tab);
    QVERIFY(next->hasFocus());
    QCOMPARE(button->text(), selectKey);
    QVERIFY(!button->changed());
}

QTEST_MAIN(InputButtonTest)
#include "tst_inputbutton.moc"
