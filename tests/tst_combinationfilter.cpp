#include "editor/combinationfilter.h"

#include <QTest>

// Which combinations the find row shows, by text typed and by keys pressed.
class CombinationFilterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matches_data();
    void matches();
};

namespace {
// "81/8 65/0": key codes and states as the key mapping file holds them.
QList<XmlParser::Key> keysFrom(const QString &text)
{
    QList<XmlParser::Key> keys;
    for (const QString &key : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        keys.append(XmlParser::Key(key.section(QLatin1Char('/'), 0, 0).toInt(),
                                   key.section(QLatin1Char('/'), 1, 1).toInt()));
    return keys;
}
} // namespace

void CombinationFilterTest::matches_data()
{
    QTest::addColumn<QString>("query"); // typed in the find field
    QTest::addColumn<QString>("pressed"); // keys pressed after "Press Keys", instead
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("matches");

    // By text: replacement text or key labels ("Sh+q a"), case and outer blanks ignored.
    QTest::newRow("empty query: all") << ""
                                      << ""
                                      << ""
                                      << "" << true;
    QTest::newRow("blanks only: all") << "   "
                                      << ""
                                      << "81/0"
                                      << "x" << true;
    QTest::newRow("part of the text") << "ell"
                                      << ""
                                      << "81/0"
                                      << "hello" << true;
    QTest::newRow("case ignored") << "GRÜSSE"
                                  << ""
                                  << "81/0"
                                  << "grüsse" << true;
    QTest::newRow("outer blanks ignored") << " hello "
                                          << ""
                                          << "81/0"
                                          << "hello" << true;
    QTest::newRow("inner blank kept") << "he llo"
                                      << ""
                                      << "81/0"
                                      << "hello" << false;
    QTest::newRow("text absent") << "xyz"
                                 << ""
                                 << "81/8 65/0"
                                 << "hello" << false;
    QTest::newRow("labels joined by a blank") << "sh+q a"
                                              << ""
                                              << "81/8 65/0"
                                              << "x" << true;
    QTest::newRow("labels, two blanks") << "q  a"
                                        << ""
                                        << "81/8 65/0"
                                        << "x" << false;
    QTest::newRow("control shows Sh+") << "sh+q"
                                       << ""
                                       << "81/16"
                                       << "x" << true;
    QTest::newRow("label standing alone") << "fn+sh+,"
                                          << ""
                                          << "41/8"
                                          << "x" << true;
    QTest::newRow("no label, no text") << "91"
                                       << ""
                                       << "91/8 87/0"
                                       << "x" << false;
    QTest::newRow("unlabelled key left out") << "w"
                                             << ""
                                             << "91/8 87/0"
                                             << "x" << true;
    QTest::newRow("not across text and labels") << "q x"
                                                << ""
                                                << "81/0"
                                                << "x" << false;
    // By keys: the combination's keys begin with those pressed, code and state in order.
    QTest::newRow("first key") << ""
                               << "81/8"
                               << "81/8 65/0"
                               << "x" << true;
    QTest::newRow("both keys") << ""
                               << "81/8 65/0"
                               << "81/8 65/0"
                               << "x" << true;
    QTest::newRow("second key differs") << ""
                                        << "81/8 87/0"
                                        << "81/8 65/0"
                                        << "x" << false;
    QTest::newRow("other state") << ""
                                 << "81/0"
                                 << "81/8 65/0"
                                 << "x" << false;
    QTest::newRow("same label, other state") << ""
                                             << "81/16"
                                             << "81/8"
                                             << "x" << false;
    QTest::newRow("not at the start") << ""
                                      << "65/0"
                                      << "81/8 65/0"
                                      << "x" << false;
    QTest::newRow("more keys than it has") << ""
                                           << "81/8 65/0 66/0"
                                           << "81/8 65/0"
                                           << "x" << false;
    QTest::newRow("no keys") << ""
                             << "81/0"
                             << ""
                             << "q" << false;
    << "81/0"
    << "81/0"
    << "y" << true;
}

void CombinationFilterTest::matches()
{
    QFETCH(QString, query);
    QFETCH(QString, pressed);
    QFETCH(QString, keys);
    QFETCH(QString, replacement);

    const CombinationFilter filter = pressed.isEmpty()
        ? CombinationFilter::byText(query)
        : CombinationFilter::byKeys(keysFrom(pressed));
    QTEST(filter.matches(keysFrom(keys), replacement), "matches");
    QCOMPARE(filter.isActive(), !query.trimmed().isEmpty() || !pressed.isEmpty());
}

QTEST_MAIN(CombinationFilterTest)
#include "tst_combinationfilter.moc"
