#include "editor/keyconfigset.h"

#include "editor/inputbutton.h"
#include "editor/keyconfig.h"
#include "findbutton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayoutItem>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTranslator>
#include <QVBoxLayout>

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
    for (const QLabel *label : children)
        labels.append(label->text());
    labels.sort();
    QCOMPARE(labels, (QStringList{ "KeyConfig:Key(s):", "KeyConfig:Replacement:" }));
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
    QTRY_VERIFY_WITH_TIMEOUT(set.configs.last()->replacementEdit, 5000);
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

    qInfo("%d combinations: build and show %lld ms, scroll to end %lld ms, xml() %lld us", count,
          shown, scrolled, writtenUs);
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
