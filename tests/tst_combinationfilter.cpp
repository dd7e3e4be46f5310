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
    QTest::addColumn<QString>("pressed"); // or keys pressed after "Press Keys"
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("matches");
    const auto byText = [](const char *name, const char *query, const char *keys,
                           const char *replacement, bool matches) {
        QTest::newRow(name) << QString::fromUtf8(query) << QString() << QString::fromUtf8(keys)
                            << QString::fromUtf8(replacement) << matches;
    };
    const auto byKeys = [](const char *name, const char *pressed, const char *keys, bool matches) {
        QTest::newRow(name) << QString() << QString::fromUtf8(pressed) << QString::fromUtf8(keys)
                            << QStringLiteral("x") << matches;
    };

    // Replacement text or key labels ("Sh+q a"), case and blanks at the ends ignored.
    byText("blanks only: all", "   ", "81/0", "x", true);
    byText("part of the text", "ell", "81/0", "hello", true);
    byText("case ignored", "GRÜSSE", "81/0", "grüsse", true);
    byText("outer blanks ignored", " hello ", "81/0", "hello", true);
    byText("inner blank kept", "he llo", "81/0", "hello", false);
    byText("labels joined by a blank", "sh+q a", "81/8 65/0", "x", true);
    byText("labels, two blanks", "q  a", "81/8 65/0", "x", false);
    byText("control shows Sh+", "sh+q", "81/16", "x", true);
    byText("label standing alone", "fn+sh+,", "41/8", "x", true);
    byText("no label, no text", "91", "91/8 87/0", "x", false);
    byText("unlabelled key left out", "w", "91/8 87/0", "x", true);
    byText("not across text and labels", "q x", "81/0", "x", false);
    // The combination's keys begin with those pressed, code and state, in order.
    byKeys("first key", "81/8", "81/8 65/0", true);
    byKeys("second key differs", "81/8 87/0", "81/8 65/0", false);
    byKeys("other state", "81/0", "81/8 65/0", false);
    byKeys("same label, other state", "81/16", "81/8", false);
    byKeys("not at the start", "65/0", "81/8 65/0", false);
    byKeys("more keys than it has", "81/8 65/0 66/0", "81/8 65/0", false);
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
