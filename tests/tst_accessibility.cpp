#include "editor/announcer.h"
#include "editor/inputbutton.h"
#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// What assistive technology reads from the key mapping editor: names that are exactly
// the visible labels, and descriptions that say which combination a button belongs to,
// numbered by the combination's current place in the list.

namespace {

QString accessibleText(QWidget *widget, QAccessible::Text which)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(which) : QStringLiteral("<no interface>");
}

QString nameOf(QWidget *widget)
{
    return accessibleText(widget, QAccessible::Name);
}

QString descriptionOf(QWidget *widget)
{
    return accessibleText(widget, QAccessible::Description);
}

XmlParser::KeyConfig combination(const QString &replacement, const QList<QPair<int, int>> &keys)
{
    XmlParser::KeyConfig config;
    for (const auto &key : keys)
        config.addKey(XmlParser::Key(key.first, key.second));
    config.setReplacement(replacement);
    return config;
}

// Combinations "c1" .. "cN" with the keys "a", "b", ...: no two alike, so none has a hint.
QList<XmlParser::KeyConfig> numbered(int count)
{
    QList<XmlParser::KeyConfig> list;
    for (int i = 1; i <= count; ++i)
        list.append(combination(QStringLiteral("c%1").arg(i), { { 0x40 + i, 0 } }));
    return list;
}

// The editors on screen, top to bottom. Editors join only at the end of the list, so
// creation order is screen order; a deleted one is hidden at once and destroyed later.
QList<KeyConfig *> editorsOf(const KeyConfigSet &set)
{
    QList<KeyConfig *> editors;
    for (KeyConfig *editor : set.findChildren<KeyConfig *>()) {
        if (!editor->isHidden())
            editors.append(editor);
    }
    return editors;
}

QPushButton *buttonWithText(QWidget *parent, const QString &text)
{
    for (QPushButton *button : parent->findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QList<InputButton *> keysOf(KeyConfig *editor)
{
    return editor->findChildren<InputButton *>();
}

void press(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buttonsOfABuiltList_data();
    void buttonsOfABuiltList();
    void numbersFollowEdits_data();
    void numbersFollowEdits();
    void captureChangesNameNotPlace_data();
    void captureChangesNameNotPlace();
    void replacementFieldIsNamedByItsLabel();
};

void AccessibilityTest::buttonsOfABuiltList_data()
{
    QTest::addColumn<int>("combination"); // counted from 1
    QTest::addColumn<QString>("button"); // "key N", ">>" or "delete"
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");

    QTest::newRow("shifted key") << 1 << "key 1"
                                 << "Sh+q"
                                 << "key 1 of combination 1";
    // Shown as a single "&" (not a mnemonic marker), and so named.
    QTest::newRow("ampersand key") << 1 << "key 2"
                                   << "&"
                                   << "key 2 of combination 1";
    QTest::newRow("replacing label") << 1 << "key 3"
                                     << "Fn+Sh+space"
                                     << "key 3 of combination 1";
    QTest::newRow("more of 1") << 1 << ">>"
                               << ">>"
                               << "adds a key to combination 1";
    QTest::newRow("delete of 1") << 1 << "delete"
                                 << "delete"
                                 << "deletes combination 1";
    // A key the button cannot label: no name, since nothing is shown, but the
    // description says which key it holds.
    QTest::newRow("unlabelled key") << 2 << "key 1"
                                    << ""
                                    << "key 1 of combination 2: key code 91, modifier state 8 "
                                       "(no label)";
    QTest::newRow("negative unlabelled key")
        << 2 << "key 2"
        << ""
        << "key 2 of combination 2: key code -5, modifier state 0 (no label)";
    QTest::newRow("after unlabelled keys") << 2 << "key 3"
                                           << "a"
                                           << "key 3 of combination 2";
    QTest::newRow("delete of 2") << 2 << "delete"
                                 << "delete"
                                 << "deletes combination 2";
    // The hint is read with the replacement field and the key buttons.
    QTest::newRow("no keys: replacement") << 3 << "replacement"
                                          << "Replacement:"
                                          << "replacement text of combination 3. Not saved: no "
                                             "key captured";
    QTest::newRow("no keys: more") << 3 << ">>"
                                   << ">>"
                                   << "adds a key to combination 3";
    QTest::newRow("no keys: delete") << 3 << "delete"
                                     << "delete"
                                     << "deletes combination 3";
}

void AccessibilityTest::buttonsOfABuiltList()
{
    QFETCH(int, combination);
    QFETCH(QString, button);
    QFETCH(QString, name);
    QFETCH(QString, description);

    const QList<XmlParser::KeyConfig> parsed{
        ::combination(QStringLiteral("one"), { { 0x51, 8 }, { 0x26, 0 }, { 0x60, 0 } }),
        ::combination(QStringLiteral("two"), { { 0x5B, 8 }, { -5, 0 }, { 0x41, 0 } }),
        ::combination(QStringLiteral("three"), {}),
    };
    KeyConfigSet set(parsed);
    const QList<KeyConfig *> editors = editorsOf(set);
    QCOMPARE(editors.size(), 3);
    KeyConfig *editor = editors.at(combination - 1);

    QWidget *widget = nullptr;
    if (button.startsWith(u"key ")) {
        const int index = button.mid(4).toInt() - 1;
        const QList<InputButton *> keys = keysOf(editor);
        QVERIFY(index < keys.size());
        widget = keys.at(index);
    } else if (button == u"replacement") {
        widget = editor->findChild<QLineEdit *>();
    } else {
        widget = buttonWithText(editor, button);
    }
    QVERIFY(widget);
    QCOMPARE(QAccessible::queryAccessibleInterface(widget)->role(),
             button == u"replacement" ? QAccessible::EditableText : QAccessible::Button);
    QCOMPARE(nameOf(widget), name);
    QCOMPARE(descriptionOf(widget), description);
}

void AccessibilityTest::numbersFollowEdits_data()
{
    QTest::addColumn<int>("initial");
    // "d<n>": click "delete" of the nth combination on screen; "a": click "Add Key
    // Combination"; "m<n>": click ">>" of the nth combination.
    QTest::addColumn<QStringList>("steps");
    // Replacement texts of the combinations on screen afterwards, with one "+" per
    // capture button beyond the first.
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("delete the middle") << 3 << QStringList{ "d2" } << QStringList{ "c1", "c3" };
    QTest::newRow("delete the first") << 3 << QStringList{ "d1" } << QStringList{ "c2", "c3" };
    QTest::newRow("delete the last") << 3 << QStringList{ "d3" } << QStringList{ "c1", "c2" };
    QTest::newRow("delete all, add one")
        << 2 << QStringList{ "d1", "d1", "a" } << QStringList{ "" };
    QTest::newRow("add after a delete")
        << 3 << QStringList{ "d1", "a" } << QStringList{ "c2", "c3", "" };
    QTest::newRow("more keys, then a delete above")
        << 3 << QStringList{ "m3", "m3", "d1" } << QStringList{ "c2", "c3++" };
    QTest::newRow("more keys in a new one")
        << 1 << QStringList{ "a", "m2", "d1", "a" } << QStringList{ "+", "" };
}

void AccessibilityTest::numbersFollowEdits()
{
    QFETCH(int, initial);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    KeyConfigSet set(numbered(initial));
    for (const QString &step : steps) {
        const QList<KeyConfig *> editors = editorsOf(set);
        QPushButton *button = nullptr;
        if (step == u"a") {
            button = buttonWithText(&set, QStringLiteral("Add Key Combination"));
        } else {
            const int n = step.mid(1).toInt();
            QVERIFY2(n >= 1 && n <= editors.size(), qPrintable(step));
            button = buttonWithText(editors.at(n - 1),
                                    step.startsWith(u'd') ? QStringLiteral("delete")
                                                          : QStringLiteral(">>"));
        }
        QVERIFY2(button, qPrintable(step));
        button->click();
    }

    const QList<KeyConfig *> editors = editorsOf(set);
    QStringList seen;
    for (KeyConfig *editor : editors) {
        const auto *edit = editor->findChild<QLineEdit *>();
        QVERIFY(edit);
        const qsizetype extra = keysOf(editor).size() - 1;
        seen.append(edit->text() + QString(qMax<qsizetype>(extra, 0), QLatin1Char('+')));
    }
    QCOMPARE(seen, expected);

    for (int i = 0; i < editors.size(); ++i) {
        KeyConfig *editor = editors.at(i);
        const int number = i + 1;
        QCOMPARE(descriptionOf(buttonWithText(editor, QStringLiteral("delete"))),
                 QStringLiteral("deletes combination %1").arg(number));
        QCOMPARE(descriptionOf(buttonWithText(editor, QStringLiteral(">>"))),
                 QStringLiteral("adds a key to combination %1").arg(number));
        const QList<InputButton *> keys = keysOf(editor);
        for (int k = 0; k < keys.size(); ++k) {
            QCOMPARE(descriptionOf(keys.at(k)),
                     QStringLiteral("key %1 of combination %2").arg(k + 1).arg(number));
        }
    }
}

void AccessibilityTest::captureChangesNameNotPlace_data()
{
    QTest::addColumn<int>("builtKey"); // 0: a new, empty capture button
    QTest::addColumn<int>("pressed");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("announced"); // the new label; nothing when it stays

    QTest::newRow("new button, shifted q")
        << 0 << int(Qt::Key_Q) << int(Qt::ShiftModifier) << "Sh+q"
        << "key 1 of combination 2"
        << "Sh+q";
    QTest::newRow("new button, unlabelled key")
        << 0 << int(Qt::Key_F1) << 0 << "Select Key"
        << "key 1 of combination 2. Not saved: no key captured"
        << "";
    QTest::newRow("unlabelled key, then a") << 0x5B << int(Qt::Key_A) << 0 << "a"
                                            << "key 1 of combination 2. Same keys as combination 1"
                                            << "a";
    QTest::newRow("unlabelled key, then unlabelled F1")
        << 0x5B << int(Qt::Key_F1) << 0 << ""
        << "key 1 of combination 2: key code 91, modifier state 0 (no label)"
        << "";
}

// A key press changes what the button shows, and its name with it, and says the new label;
// its place in the list stays its description, with the combination's hint, and the note
// on an unlabelled key goes once it has a label.
void AccessibilityTest::captureChangesNameNotPlace()
{
    QFETCH(int, builtKey);
    QFETCH(int, pressed);
    QFETCH(int, modifiers);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, announced);

    XmlParser::KeyConfig parsed;
    if (builtKey)
        parsed.addKey(XmlParser::Key(builtKey, 0));
    parsed.setReplacement(QStringLiteral("x"));
    KeyConfigSet set(QList<XmlParser::KeyConfig>{ numbered(1).first(), parsed });
    KeyConfig *editor = editorsOf(set).at(1);
    if (!builtKey)
        buttonWithText(editor, QStringLiteral(">>"))->click();
    InputButton *button = keysOf(editor).first();

    press(button, Qt::Key(pressed), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(nameOf(button), name);
    QCOMPARE(nameOf(button), button->text().replace(QLatin1String("&&"), QLatin1String("&")));
    QCOMPARE(descriptionOf(button), description);
    QCoreApplication::processEvents();
    const auto *announcer = set.findChild<Announcer *>();
    QCOMPARE(announcer ? announcer->lastText() : QString(), announced);
}

void AccessibilityTest::replacementFieldIsNamedByItsLabel()
{
    KeyConfigSet set(numbered(2));
    auto *edit = editorsOf(set).at(1)->findChild<QLineEdit *>();
    QVERIFY(edit);
    QCOMPARE(nameOf(edit), QStringLiteral("Replacement:"));
    QCOMPARE(descriptionOf(edit), QStringLiteral("replacement text of combination 2"));
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
