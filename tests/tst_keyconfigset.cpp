#include "editor/keyconfigset.h"

#include "editor/inputbutton.h"
#include "editor/keyboardpage.h"
#include "editor/keyconfig.h"
#include "editor/undobar.h"
#include "findbutton.h"
#include "platform/global.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayoutItem>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString documentStart = QStringLiteral("<hardware-keyboard>\n");
const QString documentEnd = QStringLiteral("</hardware-keyboard>");

XmlParser::KeyConfig combination(const QString &replacement, const QList<int> &keyCodes)
{
    XmlParser::KeyConfig config;
    for (int code : keyCodes)
        config.addKey(XmlParser::Key(code, 0));
    if (!replacement.isNull())
        config.setReplacement(replacement);
    return config;
}

QString fragment(int keyCode, const QString &replacement)
{
    return QStringLiteral("\t<key-config>\n\t\t<key keycode=\"%1\" state=\"0\"/>\n"
                          "\t\t<replacement text=\"%2\"/>\n\t</key-config>\n")
        .arg(keyCode)
        .arg(replacement);
}

// "81/0 87/8|text" -> keys (81, 0) and (87, 8), replacement "text"; "|x" has no key.
XmlParser::KeyConfig parsedCombination(const QString &text)
{
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    XmlParser::KeyConfig config;
    for (const QString &key : text.left(bar).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = key.split(QLatin1Char('/'));
        config.addKey(XmlParser::Key(parts.at(0).toInt(), parts.at(1).toInt()));
    }
    // "<9MiB>": that many characters, half of what the key mapping file may hold.
    config.setReplacement(
        text.mid(bar + 1).replace(QStringLiteral("<9MiB>"), QString(9 << 20, QLatin1Char('x'))));
    return config;
}

// Marks every text with its translation context, to see which context each one uses.
class ContextTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        return QStringLiteral("%1:%2").arg(QLatin1String(context), QString::fromUtf8(sourceText));
    }
};

} // namespace

class KeyConfigSetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void xml_data();
    void xml();
    void defaultListHasOneEmptyEditor();
    void addGoesBelowOthersAboveStretch_data();
    void addGoesBelowOthersAboveStretch();
    void deleteFromOwnButton_data();
    void deleteFromOwnButton();
    void delOfEditorNotInList();
    void translationContexts();
    void hints_data();
    void hints();
    void largeList_data();
    void largeList();
    void longListIsWholeBeforeItIsBuilt();

private:
    static void checkLayoutOrder(const KeyConfigSet &set)
    {
        QCOMPARE(set.containerLayout->count(), set.configs.size() + 1);
        for (int i = 0; i < set.configs.size(); ++i)
            QCOMPARE(set.containerLayout->itemAt(i)->widget(), set.configs.at(i));
        QVERIFY(set.containerLayout->itemAt(set.configs.size())->spacerItem());
    }
};

void KeyConfigSetTest::xml_data()
{
    QTest::addColumn<QList<XmlParser::KeyConfig>>("model");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty model") << QList<XmlParser::KeyConfig>() << documentStart + documentEnd;
    QTest::newRow("all incomplete")
        << QList<XmlParser::KeyConfig>{ combination(QString(), { 0x51 }),
                                        combination(QStringLiteral("x"), {}),
                                        combination(QStringLiteral(""), { 0x51 }) }
        << documentStart + documentEnd;
    QTest::newRow("in model order, incomplete left out")
        << QList<XmlParser::KeyConfig>{ combination(QStringLiteral("a"), { 0x51 }),
                                        combination(QStringLiteral("x"), {}),
                                        combination(QStringLiteral("b"), { 0x57 }),
                                        combination(QStringLiteral("c"), { 0x1030 }) }
        << documentStart + fragment(0x51, "a") + fragment(0x57, "b") + fragment(0x1030, "c")
            + documentEnd;
}

void KeyConfigSetTest::xml()
{
    QFETCH(QList<XmlParser::KeyConfig>, model);
    QFETCH(QString, expected);

    KeyConfigSet set(model);
    QCOMPARE(set.configs.size(), model.size());
    checkLayoutOrder(set);
    QCOMPARE(set.xml(), expected);
}

void KeyConfigSetTest::defaultListHasOneEmptyEditor()
{
    KeyConfigSet set;
    QCOMPARE(set.configs.size(), 1);
    checkLayoutOrder(set);
    QCOMPARE(set.configs.first()->buttons.size(), 1);
    QVERIFY(!set.configs.first()->buttons.first()->changed());
    QCOMPARE(set.xml(), documentStart + documentEnd);
}

void KeyConfigSetTest::addGoesBelowOthersAboveStretch_data()
{
    QTest::addColumn<int>("existing");

    QTest::newRow("to an empty list") << 0;
    QTest::newRow("below one") << 1;
    QTest::newRow("below three") << 3;
}

void KeyConfigSetTest::addGoesBelowOthersAboveStretch()
{
    QFETCH(int, existing);

    QList<XmlParser::KeyConfig> model;
    for (int i = 0; i < existing; ++i)
        model.append(combination(QString::number(i), { 0x41 + i }));
    KeyConfigSet set(model);
    set.resize(400, 600);
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(&set));
    const QList<KeyConfig *> before = set.configs;

    QPushButton *add = findButton(&set, QStringLiteral("Add Key Combination"));
    QVERIFY(add);
    QTest::mouseClick(add, Qt::LeftButton);

    QCOMPARE(set.configs.size(), existing + 1);
    QCOMPARE(set.configs.mid(0, existing), before);
    KeyConfig *added = set.configs.last();
    QVERIFY(!before.contains(added));
    QCOMPARE(added->parentWidget(), set.container);
    checkLayoutOrder(set);
    QTRY_VERIFY_WITH_TIMEOUT(added->isVisible(), 2000);
    if (existing > 0) {
        QTRY_VERIFY_WITH_TIMEOUT(added->y() >= before.last()->geometry().bottom(), 2000);
    }
}

void KeyConfigSetTest::deleteFromOwnButton_data()
{
    QTest::addColumn<int>("index");

    QTest::newRow("first") << 0;
    QTest::newRow("middle") << 1;
    QTest::newRow("last") << 2;
}

// GIVEN three complete combinations
// WHEN one is deleted by its own "delete" button
// THEN it leaves the list at once, the others keep their order, and it is destroyed
//      once control is back in the event loop.
void KeyConfigSetTest::deleteFromOwnButton()
{
    QFETCH(int, index);

    const QList<XmlParser::KeyConfig> model{ combination(QStringLiteral("a"), { 0x51 }),
                                             combination(QStringLiteral("b"), { 0x57 }),
                                             combination(QStringLiteral("c"), { 0x45 }) };
    const QStringList fragments{ fragment(0x51, "a"), fragment(0x57, "b"), fragment(0x45, "c") };
    KeyConfigSet set(model);
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(&set));
    QList<KeyConfig *> kept = set.configs;
    QPointer<KeyConfig> victim = kept.takeAt(index);

    QPushButton *deleteButton = findButton(victim, QStringLiteral("delete"));
    QVERIFY(deleteButton);
    QTest::mouseClick(deleteButton, Qt::LeftButton);

    // Still alive right after the click, but already out of the list and off the screen.
    QVERIFY(!victim.isNull());
    QVERIFY(victim->isHidden());
    QCOMPARE(set.configs, kept);
    checkLayoutOrder(set);
    QStringList expected = fragments;
    expected.removeAt(index);
    QCOMPARE(set.xml(), documentStart + expected.join(QString()) + documentEnd);

    QTRY_VERIFY_WITH_TIMEOUT(victim.isNull(), 2000);
    QCOMPARE(set.configs, kept);
    QCOMPARE(set.xml(), documentStart + expected.join(QString()) + documentEnd);
}

void KeyConfigSetTest::delOfEditorNotInList()
{
    KeyConfigSet set;
    QPointer<KeyConfig> stranger = new KeyConfig(set.container);
    set.del(stranger);
    QCOMPARE(set.configs.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(stranger.isNull(), 2000);
    set.del(nullptr);
    QCOMPARE(set.configs.size(), 1);
}

void KeyConfigSetTest::translationContexts()
{
    ContextTranslator translator;
    QCoreApplication::installTranslator(&translator);
    KeyConfigSet set;
    QCoreApplication::removeTranslator(&translator);

    QVERIFY(findButton(&set, QStringLiteral("KeyConfigSet:Add Key Combination")));
    QVERIFY(findButton(&set, QStringLiteral("KeyConfig:delete")));
    QVERIFY(findButton(&set, QStringLiteral(">>")));
    QCOMPARE(set.configs.first()->buttons.first()->text(),
             QStringLiteral("InputButton:Select Key"));
    QStringList labels;
    const auto children = set.findChildren<QLabel *>();
    for (const QLabel *label : children) {
        if (label->isVisibleTo(&set)) // not the hidden undo bar's, which has no text yet
            labels.append(label->text());
    }
    labels.sort();
    QCOMPARE(labels, (QStringList{ "KeyConfig:Key(s):", "KeyConfig:Replacement:" }));
}

void KeyConfigSetTest::hints_data()
{
    QTest::addColumn<QString>("language"); // "de": with the German catalogue
    QTest::addColumn<QStringList>("model"); // parsed combinations, see parsedCombination()
    QTest::addColumn<int>("fillers"); // distinct combinations inserted after the first
    // "key N code/state" sets the last capture button of combination N; "more N" clicks
    // its ">>"; "text N t" sets its replacement text (empty without t); "del N" clicks its
    // "delete"; "undo", "add", "build" (every unbuilt combination) and "expire" (the undo
    // bar's time runs out) act on the list; "import:a;b" imports a file of the parsed
    // combinations a and b ("!": an unknown element).
    QTest::addColumn<QStringList>("steps");
    // "N:hint" for each combination with a hint, in list order; all others show none;
    // then "bar:text" while the undo bar is shown, "box:text" for a message box (FILE for
    // the imported file). "none": no hint label was ever made.
    QTest::addColumn<QStringList>("expected");

    const QStringList none{ "none" };
    QTest::newRow("new combination") << "en" << QStringList() << 0 << QStringList{ "add" } << none;
    QTest::newRow("complete, distinct keys")
        << "en" << QStringList{ "81/0|a", "81/8|b", "81/0 87/0|c", "87/0 81/0|d" } << 0
        << QStringList() << none;
    QTest::newRow("text, no key") << "en" << QStringList{ "|x" } << 0 << QStringList()
                                  << QStringList{ "1:Not saved: no key captured" };
    QTest::newRow("key, no text") << "en" << QStringList{ "81/0|" } << 0 << QStringList()
                                  << QStringList{ "1:Not saved: no replacement text" };
    QTest::newRow("unlabelled key read from the file is a key")
        << "en" << QStringList{ "91/8|x", "91/8|y" } << 0 << QStringList()
        << QStringList{ "1:Same keys as combination 2", "2:Same keys as combination 1" };
    QTest::newRow("three alike name the first other")
        << "en" << QStringList{ "81/0|a", "87/0|b", "81/0|c", "81/0|d" } << 0 << QStringList()
        << QStringList{ "1:Same keys as combination 3", "3:Same keys as combination 1",
                        "4:Same keys as combination 1" };
    QTest::newRow("unset buttons skipped")
        << "en" << QStringList{ "81/0 87/0|a" } << 0
        << QStringList{ "add", "key 2 81/0", "more 2", "more 2", "key 2 87/0", "text 2 b" }
        << QStringList{ "1:Same keys as combination 2", "2:Same keys as combination 1" };
    QTest::newRow("one not saved takes no part")
        << "en" << QStringList{ "81/0|a", "81/0|" } << 0 << QStringList()
        << QStringList{ "2:Not saved: no replacement text" };
    QTest::newRow("text cleared leaves the group")
        << "en" << QStringList{ "81/0|a", "81/0|b", "81/0|c" } << 0 << QStringList{ "text 1" }
        << QStringList{ "1:Not saved: no replacement text", "2:Same keys as combination 3",
                        "3:Same keys as combination 2" };
    QTest::newRow("capture moves it to another group")
        << "en" << QStringList{ "81/0|a", "81/0|b", "87/0|c" } << 0 << QStringList{ "key 1 87/0" }
        << QStringList{ "1:Same keys as combination 3", "3:Same keys as combination 1" };
    QTest::newRow("delete renumbers")
        << "en" << QStringList{ "87/0|a", "81/0|b", "87/0|c" } << 0 << QStringList{ "del 2" }
        << QStringList{ "1:Same keys as combination 2", "2:Same keys as combination 1",
                        "bar:Combination 2 deleted." };
    QTest::newRow("deleted twin") << "en" << QStringList{ "87/0|a", "87/0|b" } << 0
                                  << QStringList{ "del 1", "expire" } << QStringList();
    QTest::newRow("nothing to undo once the bar is gone")
        << "en" << QStringList{ "87/0|a", "87/0|b", "|x" } << 0
        << QStringList{ "del 3", "del 1", "add", "undo" } << QStringList();
    QTest::newRow("undo brings back twin and numbers")
        << "en" << QStringList{ "81/0|a", "87/0|b", "81/0|c", "81/0|d" } << 0
        << QStringList{ "del 1", "undo" }
        << QStringList{ "1:Same keys as combination 3", "3:Same keys as combination 1",
                        "4:Same keys as combination 1" };
    QTest::newRow("built later finds its twin")
        << "en" << QStringList{ "81/0|a", "81/0|b" } << 50 << QStringList{ "build" }
        << QStringList{ "1:Same keys as combination 52", "52:Same keys as combination 1" };
    QTest::newRow("twin not built yet moves up on a delete")
        << "en" << QStringList{ "81/0|a", "81/0|b" } << 50 << QStringList{ "del 2" }
        << QStringList{ "1:Same keys as combination 51", "bar:Combination 2 deleted." };
    QTest::newRow("import appends, twins hinted")
        << "en" << QStringList{ "81/0|a", "87/0|b" } << 0 << QStringList{ "import:81/0|c;90/0|d" }
        << QStringList{ "1:Same keys as combination 3", "3:Same keys as combination 1",
                        "bar:2 combinations imported." };
    QTest::newRow("undo takes back an import into a list not built yet")
        << "en" << QStringList{ "81/0|a" } << 50 << QStringList{ "import:81/0|b;81/0|c", "undo" }
        << QStringList();
    QTest::newRow("import read up to an unknown element")
        << "en" << QStringList{ "81/0|a" } << 0 << QStringList{ "import:81/0|b;!;87/0|c" }
        << QStringList{ "1:Same keys as combination 2", "2:Same keys as combination 1",
                        "bar:1 combination imported.",
                        "box:FILE was read only in part (line 1, column 112: stopped at element "
                        "unknown); the combinations before that point were imported." };
    QTest::newRow("import of a file without combinations")
        << "en" << QStringList{ "81/0|a" } << 0 << QStringList{ "import:" }
        << QStringList{ "box:FILE was not imported: it holds no key combination." };
    QTest::newRow("import past the size bound of the file as written")
        << "en" << QStringList{ "81/0|<9MiB>" } << 0 << QStringList{ "import:87/0|<9MiB>" }
        << QStringList{ "box:FILE was not imported: the list would be larger than 16 MiB as "
                        "written." };
    QTest::newRow("export onto the key mapping file itself: refused")
        << "en" << QStringList{ "81/0|a" } << 0 << QStringList{ "export" }
        << QStringList{ "export:it is the editor's own key mapping file, which closing the "
                        "window saves" };
    QTest::newRow("German, import")
        << "de" << QStringList() << 0 << QStringList{ "import:81/0|b;87/0|c" }
        << QStringList{ "bar:2 Kombinationen importiert." };
    // More than "Add Key Combination" builds at once: the new one goes below the unbuilt
    // rest, numbered after it, and stays there as the rest is built.
    QTest::newRow("added below the unbuilt rest")
        << "en" << QStringList{ "81/0|a" } << 600
        << QStringList{ "add", "key 41 81/0", "text 41 z", "build" }
        << QStringList{ "1:Same keys as combination 602", "602:Same keys as combination 1" };
    QTest::newRow("delete above the unbuilt rest")
        << "en" << QStringList{ "81/0|a" } << 600
        << QStringList{ "add", "key 41 81/0", "text 41 z", "del 2", "build" }
        << QStringList{ "1:Same keys as combination 601", "601:Same keys as combination 1",
                        "bar:Combination 2 deleted." };
    QTest::newRow("undo below the unbuilt rest")
        << "en" << QStringList{ "81/0|a" } << 600
        << QStringList{ "add", "key 41 81/0", "text 41 z", "del 41", "undo", "build" }
        << QStringList{ "1:Same keys as combination 602", "602:Same keys as combination 1" };
    QTest::newRow("German, no key") << "de" << QStringList{ "|x" } << 0 << QStringList()
                                    << QStringList{ "1:Nicht gespeichert: keine Taste erfasst" };
    QTest::newRow("German, same keys")
        << "de" << QStringList{ "81/0|a", "87/0|b", "81/0|c" } << 0 << QStringList{ "del 2" }
        << QStringList{ "1:Dieselben Tasten wie Kombination 2",
                        "2:Dieselben Tasten wie Kombination 1", "bar:Kombination 2 gelöscht." };
}

// The hint under each combination, as read out by assistive technology (its accessible
// name), after the list is built from a file and edited.
void KeyConfigSetTest::hints()
{
    QFETCH(QString, language);
    QFETCH(QStringList, model);
    QFETCH(int, fillers);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    QTranslator german;
    if (language == u"de") {
        QVERIFY(german.load(QStringLiteral(":/i18n/tavorin-settings_de.qm")));
        QCoreApplication::installTranslator(&german);
    }
    QList<XmlParser::KeyConfig> parsed;
    for (qsizetype i = 0; i < model.size(); ++i) {
        parsed.append(parsedCombination(model.at(i)));
        for (int f = 0; i == 0 && f < fillers; ++f)
            parsed.append(combination(QStringLiteral("f"), { 0x2000 + f }));
    }
    KeyConfigSet set(parsed);
    QTemporaryFile imported;
    QString refused; // why an export was refused
    for (const QString &step : std::as_const(steps)) {
        const QStringList words = step.split(QLatin1Char(' '));
        KeyConfig *editor = words.size() > 1 ? set.configs.value(words.at(1).toInt() - 1) : nullptr;
        if (words.size() > 1)
            QVERIFY2(editor, qPrintable(step));
        if (words.at(0) == u"key") {
            const QStringList key = words.at(2).split(QLatin1Char('/'));
            editor->buttons.last()->setText(key.at(0).toInt(), key.at(1).toInt());
        } else if (words.at(0) == u"more" || words.at(0) == u"del") {
            (words.at(0) == u"more" ? editor->m_moreButton : editor->m_deleteButton)->click();
        } else if (words.at(0) == u"text") {
            editor->replacementEdit->setText(words.value(2));
        } else if (words.at(0) == u"undo") {
            set.undo(); // what "Undo" and Ctrl+Z do; a no-op without the bar
        } else if (words.at(0) == u"expire") {
            set.m_page->undoBar->m_timer->start(0);
            QTRY_VERIFY(set.m_page->undoBar->isHidden());
        } else if (words.at(0) == u"add") {
            set.add();
        } else if (words.at(0) == u"build") {
            QTRY_VERIFY(set.m_unbuilt.isEmpty());
        } else if (step.startsWith(u"import:")) {
            QString document = documentStart;
            for (const QString &text : step.mid(7).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                if (text == u"!") {
                    document += QStringLiteral("<unknown/>");
                    continue;
                }
                const XmlParser::KeyConfig config = parsedCombination(text);
                document += KeyConfig::xml(config.items(), config.replacement());
            }
            QVERIFY(imported.open());
            imported.write(QString(document + documentEnd).remove(QLatin1Char('\n')).toUtf8());
            imported.close();
            set.importFiles({ imported.fileName() });
        } else if (words.at(0) == u"export") {
            // Reached through a link, as a file dialog may give it.
            const QString own = Global::applicationFileName(
                QStringLiteral("tavorin"), QStringLiteral("hardware-keyboard.xml"));
            QFile::remove(own);
            QVERIFY(QFile::copy(QFINDTESTDATA("tst_keyconfigset.cpp"), own));
            const QString link = QDir::temp().filePath(QStringLiteral("tavorin-own.xml"));
            QFile::remove(link);
            QVERIFY(QFile::link(own, link));
            QVERIFY(!set.exportTo(link, &refused));
            QVERIFY(QFileInfo(link).isSymLink() && QFileInfo(own).size() > 1000);
            QFile::remove(link);
        }
    }
    QCoreApplication::removeTranslator(&german);

    QStringList seen;
    bool anyLabel = false;
    for (qsizetype i = 0; i < set.configs.size(); ++i) {
        // A deferred editor, as it comes into view: nothing below it moves.
        const int reserved = set.configs.at(i)->sizeHint().height();
        set.configs.at(i)->build();
        QCOMPARE(set.configs.at(i)->sizeHint().height(), reserved);
        QLabel *hint = set.configs.at(i)->m_hint;
        anyLabel = anyLabel || hint;
        if (hint && hint->isVisibleTo(&set)) {
            QCOMPARE(QAccessible::queryAccessibleInterface(hint)->text(QAccessible::Name),
                     hint->text());
            seen.append(QStringLiteral("%1:%2").arg(i + 1).arg(hint->text()));
        }
    }
    if (set.m_page->undoBar->isVisibleTo(&set))
        seen.append(QStringLiteral("bar:") + set.m_page->undoBar->m_label->text());
    if (!refused.isEmpty())
        seen.append(QStringLiteral("export:") + refused);
    if (const auto *box = set.findChild<QMessageBox *>())
        seen.append(QStringLiteral("box:") + box->text().replace(imported.fileName(), "FILE"));
    if (expected == QStringList{ "none" })
        QVERIFY(!anyLabel);
    else
        QCOMPARE(seen, expected);
}

void KeyConfigSetTest::largeList_data()
{
    QTest::addColumn<int>("count");

    QTest::newRow("100") << 100;
    QTest::newRow("1000") << 1000;
    QTest::newRow("5000") << 5000;
}

// Long lists: built, shown, scrolled to the end and written whole. The times are printed
// for comparison; a quadratic xml() shows up clearly between the rows.
void KeyConfigSetTest::largeList()
{
    QFETCH(int, count);
    QList<XmlParser::KeyConfig> model;
    QString expected = documentStart;
    for (int i = 0; i < count; ++i) {
        model.append(combination(QString::number(i), { 0x41 + i % 26 }));
        expected += fragment(0x41 + i % 26, QString::number(i));
    }
    expected += documentEnd;

    QElapsedTimer timer;
    timer.start();
    KeyConfigSet set(model);
    set.resize(480, 640);
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(&set));
    QCoreApplication::processEvents();
    // Editors beyond the first screenful are built from the event loop.
    QTRY_COMPARE_WITH_TIMEOUT(set.configs.size(), count, 60000);
    const qint64 shown = timer.elapsed();

    QScrollBar *bar = set.scrollView->verticalScrollBar();
    timer.restart();
    // Scrolled to the end once the last layout has been done, the last editor is in view.
    const auto lastInView = [&] {
        bar->setValue(bar->maximum());
        const QRect visible(-set.container->pos(), set.scrollView->viewport()->size());
        return visible.intersects(set.configs.last()->geometry());
    };
    QTRY_VERIFY_WITH_TIMEOUT(lastInView(), 5000);
    const qint64 scrolled = timer.elapsed();
    // An editor makes its widgets once it comes into view; one never seen has none yet.
    // The list's last layout may still be pending after the first scroll and push the last
    // editor out of view again: scrolled to the end until the list stands, the last editor
    // is in view and every editor in view has its widgets.
    const auto viewBuilt = [&] {
        if (!lastInView())
            return false;
        const QRect visible(-set.container->pos(), set.scrollView->viewport()->size());
        return std::all_of(set.configs.cbegin(), set.configs.cend(), [&](KeyConfig *editor) {
            return editor->replacementEdit || !visible.intersects(editor->geometry());
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(viewBuilt(), 5000);
    QCOMPARE(set.configs.last()->replacementEdit->text(), QString::number(count - 1));
    if (count >= 1000) {
        QVERIFY(!set.configs.at(count / 2)->replacementEdit);
        // Reached by Tab, one makes its widgets: its key, ">>", its text and "delete" in
        // that order, then on to the next editor's key.
        KeyConfig *reached = set.configs.at(count / 4);
        reached->setFocus(Qt::TabFocusReason);
        QVERIFY(reached->replacementEdit);
        QCOMPARE(QApplication::focusWidget(), reached->buttons.first());
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), set.configs.at(count / 4 + 1)->buttons.first());
    }

    timer.restart();
    const QString document = set.xml();
    const qint64 writtenUs = timer.nsecsElapsed() / 1000;
    QCOMPARE(document, expected);

    // A key captured in the first combination moves it from the group of twins with "a"
    // to the one with "b" (each a 26th of the list); both groups' hints follow.
    timer.restart();
    set.configs.first()->buttons.first()->setText(0x42, 0);
    const qint64 capturedUs = timer.nsecsElapsed() / 1000;
    QCOMPARE(set.configs.at(1)->m_hint->text(), QStringLiteral("Same keys as combination 1"));

    // Finding shows the first screenfuls at once and the rest from the event loop: then the
    // matches alone are shown, one below the other, and no editor made its widgets hidden.
    auto *find = set.findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(find && find->accessibleName() == u"Find");
    for (const QString &text : { QStringLiteral("1"), QString() }) {
        QList<KeyConfig *> made;
        for (KeyConfig *editor : std::as_const(set.configs)) {
            if (editor->replacementEdit)
                made.append(editor);
        }
        if (text.isEmpty())
            QTest::keyClick(find, Qt::Key_Backspace);
        else
            QTest::keyClicks(find, text);
        const auto shownInOrder = [&] {
            int y = 0;
            for (int i = 0; i < count; ++i) {
                KeyConfig *editor = set.configs.at(i);
                if (editor->isHidden() == QString::number(i).contains(text))
                    return false;
                if (!editor->isHidden()
                    && editor->y() != std::exchange(y, editor->geometry().bottom() + 1))
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(shownInOrder(), 10000);
        for (KeyConfig *editor : std::as_const(set.configs))
            QVERIFY(!editor->replacementEdit || made.contains(editor) || !editor->isHidden());
    }

    qInfo("%d combinations: build and show %lld ms, scroll to end %lld ms, xml() %lld us, "
          "key captured in one %lld us",
          count, shown, scrolled, writtenUs, capturedUs);
}

// A long list shows its first editors at once and builds the rest from the event loop;
// until then the file must still get every combination, and a new one goes last.
void KeyConfigSetTest::longListIsWholeBeforeItIsBuilt()
{
    const int count = 500;
    QList<XmlParser::KeyConfig> model;
    QString expected = documentStart;
    for (int i = 0; i < count; ++i) {
        model.append(combination(QString::number(i), { 0x41 + i % 26 }));
        expected += fragment(0x41 + i % 26, QString::number(i));
    }
    // Incomplete combinations among the unbuilt ones stay out of the file.
    model.append(combination(QString(), { 0x41 }));
    model.append(combination(QStringLiteral("no key"), {}));
    expected += documentEnd;

    {
        KeyConfigSet set(model);
        QVERIFY(set.configs.size() < count);
        QCOMPARE(set.xml(), expected);
    }
    {
        KeyConfigSet set(model);
        set.show();
        QPushButton *add = findButton(&set, QStringLiteral("Add Key Combination"));
        QVERIFY(add);
        add->click();
        QCOMPARE(set.configs.size(), count + 3);
        QCOMPARE(set.configs.last()->buttons.size(), 1);
        QVERIFY(!set.configs.last()->buttons.first()->changed());
        QCOMPARE(set.containerLayout->indexOf(set.configs.last()), count + 2);
        QCOMPARE(set.xml(), expected);
        // The build started at construction finds nothing left to do.
        QTest::qWait(50);
        QCOMPARE(set.configs.size(), count + 3);
    }
}

QTEST_MAIN(KeyConfigSetTest)
#include "tst_keyconfigset.moc"
