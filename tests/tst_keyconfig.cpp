#include "editor/keyconfig.h"

#include "editor/inputbutton.h"
#include "findbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// "81/8" -> XmlParser::Key(81, 8)
XmlParser::Key parseKey(const QString &token)
{
    const QStringList parts = token.split(QLatin1Char('/'));
    return XmlParser::Key(parts.at(0).toInt(), parts.at(1).toInt());
}

} // namespace

class KeyConfigTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void xml_data();
    void xml();
    void moreButtonsGoBeforeMore();
    void builtFromKeys_data();
    void builtFromKeys();
    void unlabelledKeyReplacedByCapture();
    void deleteAsksOwner();
};

// How each row builds its editor:
//   fromFile false: the default editor (one unset button); true: built from the
//   leading "code/state" tokens.
//   Then each "new" token clicks ">>" and leaves the button unset, each "new code/state"
//   clicks ">>" and captures that key, and "first code/state" captures the key on the
//   default editor's own button.
void KeyConfigTest::xml_data()
{
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected"); // null: left out of the file

    const QString q = QStringLiteral("\t\t<key keycode=\"81\" state=\"0\"/>\n");
    const QString w = QStringLiteral("\t\t<key keycode=\"87\" state=\"0\"/>\n");
    const QString start = QStringLiteral("\t<key-config>\n");
    const QString end = QStringLiteral("\t</key-config>\n");
    auto replacement = [](const QString &text) {
        return QStringLiteral("\t\t<replacement text=\"%1\"/>\n").arg(text);
    };

    QTest::newRow("new editor") << false << QStringList() << QString() << QString();
    QTest::newRow("new editor with replacement")
        << false << QStringList() << QStringLiteral("x") << QString();
    QTest::newRow("set button, empty replacement")
        << false << QStringList{ "first 81/0" } << QString() << QString();
    QTest::newRow("set button, replacement")
        << false << QStringList{ "first 81/0" } << QStringLiteral("x")
        << start + q + replacement("x") + end;
    QTest::newRow("q, unset, w") << false << QStringList{ "first 81/0", "new", "new 87/0" }
                                 << QStringLiteral("x") << start + q + w + replacement("x") + end;
    QTest::newRow("unset buttons only")
        << false << QStringList{ "new", "new" } << QStringLiteral("x") << QString();
    QTest::newRow("blanks are text") << false << QStringList{ "first 81/0" } << QStringLiteral("  ")
                                     << start + q + replacement("  ") + end;
    QTest::newRow("state written whole")
        << false << QStringList{ "first 81/40" } << QStringLiteral("x")
        << start + QStringLiteral("\t\t<key keycode=\"81\" state=\"40\"/>\n") + replacement("x")
            + end;
    QTest::newRow("ampersand escaped")
        << false << QStringList{ "first 81/0" } << QStringLiteral("a&b")
        << start + q + replacement("a&amp;b") + end;

    QTest::newRow("parsed, no keys") << true << QStringList() << QStringLiteral("x") << QString();
    QTest::newRow("parsed, no keys, then w")
        << true << QStringList{ "new 87/0" } << QStringLiteral("x")
        << start + w + replacement("x") + end;
    QTest::newRow("parsed q, w") << true << QStringList{ "81/0", "87/0" } << QStringLiteral("x")
                                 << start + q + w + replacement("x") + end;
    QTest::newRow("parsed q, w, empty replacement")
        << true << QStringList{ "81/0", "87/0" } << QString() << QString();
    QTest::newRow("parsed q + F1 keeps F1")
        << true << QStringList{ "81/0", "4144/8" } << QStringLiteral("x")
        << start + q + QStringLiteral("\t\t<key keycode=\"4144\" state=\"8\"/>\n")
            + replacement("x") + end;
    QTest::newRow("parsed unlabelled keys only")
        << true << QStringList{ "-3/0", "97/70000" } << QStringLiteral("x")
        << start + QStringLiteral("\t\t<key keycode=\"-3\" state=\"0\"/>\n")
            + QStringLiteral("\t\t<key keycode=\"97\" state=\"70000\"/>\n") + replacement("x")
            + end;
    QTest::newRow("parsed unlabelled, unset, w")
        << true << QStringList{ "4101/0", "new", "new 87/0" } << QStringLiteral("x")
        << start + QStringLiteral("\t\t<key keycode=\"4101\" state=\"0\"/>\n") + w
            + replacement("x") + end;
}

void KeyConfigTest::xml()
{
    QFETCH(bool, fromFile);
    QFETCH(QStringList, buttons);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);

    QList<XmlParser::Key> parsed;
    while (fromFile && !buttons.isEmpty() && !buttons.first().startsWith(QLatin1String("new")))
        parsed.append(parseKey(buttons.takeFirst()));
    std::unique_ptr<KeyConfig> editor(fromFile ? new KeyConfig(parsed) : new KeyConfig);
    QPushButton *more = findButton(editor.get(), QStringLiteral(">>"));
    QVERIFY(more);
    for (const QString &token : std::as_const(buttons)) {
        const QStringList words = token.split(QLatin1Char(' '));
        if (words.at(0) == QLatin1String("new"))
            QTest::mouseClick(more, Qt::LeftButton);
        if (words.size() > 1) {
            const XmlParser::Key key = parseKey(words.at(1));
            InputButton *target = words.at(0) == QLatin1String("first") ? editor->buttons.first()
                                                                        : editor->buttons.last();
            target->setText(key.key(), key.state());
        }
    }
    editor->setReplacement(replacement);

    const QString fragment = editor->xml();
    QCOMPARE(fragment, expected);
    QCOMPARE(fragment.isNull(), expected.isNull());
}

void KeyConfigTest::moreButtonsGoBeforeMore()
{
    KeyConfig editor;
    QPushButton *more = findButton(&editor, QStringLiteral(">>"));
    QVERIFY(more);
    QCOMPARE(editor.buttons.size(), 1);
    QCOMPARE(editor.buttons.first()->text(), QStringLiteral("Select Key"));

    for (int click = 1; click <= 3; ++click) {
        QTest::mouseClick(more, Qt::LeftButton);
        QCOMPARE(editor.buttons.size(), 1 + click);
        // The newest button sits right before ">>".
        QCOMPARE(editor.keysLayout->indexOf(editor.buttons.last()), 1 + click);
        QCOMPARE(editor.keysLayout->indexOf(more), 2 + click);
    }
    QCOMPARE(editor.keysLayout->count(), 6);
    QVERIFY(qobject_cast<QLabel *>(editor.keysLayout->itemAt(0)->widget()));
    for (int i = 0; i < editor.buttons.size(); ++i) {
        QCOMPARE(editor.keysLayout->itemAt(i + 1)->widget(), editor.buttons.at(i));
        QVERIFY(!editor.buttons.at(i)->changed());
    }
    QCOMPARE(editor.keysLayout->itemAt(5)->widget(), more);
}

void KeyConfigTest::builtFromKeys_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("none") << QStringList() << QStringList();
    QTest::newRow("q, Sh+w") << QStringList{ "81/0", "87/8" } << QStringList{ "q", "Sh+w" };
    QTest::newRow("q, unlabelled, return")
        << QStringList{ "81/0", "4101/0", "4100/16" } << QStringList{ "q", "", "Sh+return" };
}

void KeyConfigTest::builtFromKeys()
{
    QFETCH(QStringList, keys);
    QFETCH(QStringList, labels);

    QList<XmlParser::Key> parsed;
    for (const QString &token : std::as_const(keys))
        parsed.append(parseKey(token));
    KeyConfig editor(parsed);

    QCOMPARE(editor.buttons.size(), labels.size());
    QCOMPARE(editor.keysLayout->count(), labels.size() + 2);
    for (int i = 0; i < labels.size(); ++i) {
        QCOMPARE(editor.keysLayout->itemAt(i + 1)->widget(), editor.buttons.at(i));
        QCOMPARE(editor.buttons.at(i)->text(), labels.at(i));
        QCOMPARE(editor.buttons.at(i)->key(), parsed.at(i).key());
        QCOMPARE(editor.buttons.at(i)->state(), parsed.at(i).state());
    }
    QCOMPARE(editor.keysLayout->itemAt(labels.size() + 1)->widget(),
             findButton(&editor, QStringLiteral(">>")));
}

// GIVEN a combination read from a file whose key has no label
// WHEN the user captures a new key on that button
// THEN the new key is written in place of the old one.
void KeyConfigTest::unlabelledKeyReplacedByCapture()
{
    KeyConfig editor({ XmlParser::Key(0x1030, 0) });
    editor.setReplacement(QStringLiteral("x"));
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    InputButton *button = editor.buttons.first();
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_Q, Qt::ShiftModifier);

    QCOMPARE(editor.xml(),
             QStringLiteral("\t<key-config>\n\t\t<key keycode=\"81\" state=\"8\"/>\n"
                            "\t\t<replacement text=\"x\"/>\n\t</key-config>\n"));
}

void KeyConfigTest::deleteAsksOwner()
{
    KeyConfig editor;
    QSignalSpy spy(&editor, &KeyConfig::deleteMe);
    QPushButton *deleteButton = findButton(&editor, QStringLiteral("delete"));
    QVERIFY(deleteButton);

    QTest::mouseClick(deleteButton, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<KeyConfig *>(), &editor);
}

QTEST_MAIN(KeyConfigTest)
#include "tst_keyconfig.moc"
