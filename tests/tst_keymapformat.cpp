#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <iterator>
#include <limits>

namespace {

struct Combination
{
    QList<QPair<int, int>> keys;
    QString text;
};

// Joins the lines as the editor widgets do for a whole document.
QString document(const QList<Combination> &combinations)
{
    QString out = KeyMapFormat::documentStart();
    for (const Combination &combination : combinations) {
        out += KeyMapFormat::combinationStart();
        for (const auto &key : combination.keys)
            out += KeyMapFormat::keyLine(key.first, key.second);
        out += KeyMapFormat::replacementLine(combination.text);
        out += KeyMapFormat::combinationEnd();
    }
    return out + KeyMapFormat::documentEnd();
}

} // namespace

Q_DECLARE_METATYPE(Combination)

class KeyMapFormatTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exactBytes_data();
    void exactBytes();
    void escapeAttribute_data();
    void escapeAttribute();
    void roundTrip_data();
    void roundTrip();

private:
    QTemporaryDir m_dir;
};

void KeyMapFormatTest::exactBytes_data()
{
    QTest::addColumn<QList<Combination>>("combinations");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("no combinations")
        << QList<Combination>() << QByteArray("<hardware-keyboard>\n</hardware-keyboard>");
    QTest::newRow("two keys") << QList<Combination>{ { { { 0x51, 0 }, { 0x57, 8 } }, "abc" } }
                              << QByteArray("<hardware-keyboard>\n"
                                            "\t<key-config>\n"
                                            "\t\t<key keycode=\"81\" state=\"0\"/>\n"
                                            "\t\t<key keycode=\"87\" state=\"8\"/>\n"
                                            "\t\t<replacement text=\"abc\"/>\n"
                                            "\t</key-config>\n"
                                            "</hardware-keyboard>");
    QTest::newRow("negative numbers, two combinations")
        << QList<Combination>{ { { { -1, std::numeric_limits<int>::min() } }, "a&b" },
                               { { { std::numeric_limits<int>::max(), 0 } }, "x>'y" } }
        << QByteArray("<hardware-keyboard>\n"
                      "\t<key-config>\n"
                      "\t\t<key keycode=\"-1\" state=\"-2147483648\"/>\n"
                      "\t\t<replacement text=\"a&amp;b\"/>\n"
                      "\t</key-config>\n"
                      "\t<key-config>\n"
                      "\t\t<key keycode=\"2147483647\" state=\"0\"/>\n"
                      "\t\t<replacement text=\"x>'y\"/>\n"
                      "\t</key-config>\n"
                      "</hardware-keyboard>");
    QTest::newRow("text beyond ascii is utf-8")
        << QList<Combination>{ { { { 1, 0 } }, QString::fromUtf8("\xc3\xa9\xe2\x82\xac") } }
        << QByteArray("<hardware-keyboard>\n\t<key-config>\n"
                      "\t\t<key keycode=\"1\" state=\"0\"/>\n"
                      "\t\t<replacement text=\"\xc3\xa9\xe2\x82\xac\"/>\n"
                      "\t</key-config>\n</hardware-keyboard>");
}

void KeyMapFormatTest::exactBytes()
{
    QFETCH(QList<Combination>, combinations);
    QFETCH(QByteArray, bytes);

    QCOMPARE(KeyMapFormat::encode(document(combinations)), bytes);
}

void KeyMapFormatTest::escapeAttribute_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");

    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("ampersand") << "a&b"
                               << "a&amp;b";
    QTest::newRow("entity-like text") << "&amp;"
                                      << "&amp;amp;";
    QTest::newRow("less than") << "<x/>"
                               << "&lt;x/>";
    QTest::newRow("double quote") << "say \"hi\""
                                  << "say &quot;hi&quot;";
    QTest::newRow("greater than and apostrophe kept") << "a>b'c"
                                                      << "a>b'c";
    QTest::newRow("tab, line feed, return") << "a\tb\nc\rd"
                                            << "a&#9;b&#10;c&#13;d";
    const char16_t controls[] = { u'a', 0x0, u'b', 0x1, 0x8, 0xb, 0xc, 0x1f, u'c' };
    QTest::newRow("other controls dropped")
        << QString::fromUtf16(controls, std::size(controls)) << "abc";
    QTest::newRow("delete and C1 kept")
        << QString::fromUtf16(u"\u007f\u0085") << QString::fromUtf16(u"\u007f\u0085");
    QTest::newRow("U+FFFE, U+FFFF dropped") << QString::fromUtf16(u"a\ufffeb\uffffc") << "abc";
    QTest::newRow("U+FFFD kept") << QString::fromUtf16(u"\ufffd") << QString::fromUtf16(u"\ufffd");
    QTest::newRow("pair kept") << QString::fromUtf16(u"\U0001F600")
                               << QString::fromUtf16(u"\U0001F600");
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    QTest::newRow("lone high dropped") << QString("a") + high + "b"
                                       << "ab";
    QTest::newRow("lone low dropped") << QString("a") + low + "b"
                                      << "ab";
    QTest::newRow("reversed pair dropped") << QString(low) + high << "";
    QTest::newRow("high at the end dropped") << QString("a") + high << "a";
    QTest::newRow("high, high, low keeps the pair")
        << QString(high) + high + low << QString(high) + low;
}

void KeyMapFormatTest::escapeAttribute()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);

    QCOMPARE(KeyMapFormat::escapeAttribute(text), escaped);
    QCOMPARE(KeyMapFormat::replacementLine(text),
             QStringLiteral("\t\t<replacement text=\"") + escaped + QStringLiteral("\"/>\n"));
}

void KeyMapFormatTest::roundTrip_data()
{
    QTest::addColumn<QList<Combination>>("combinations");
    QTest::addColumn<QStringList>("expectedTexts");

    QTest::newRow("ascii") << QList<Combination>{ { { { 81, 0 }, { 87, 8 } }, "abc" },
                                                  { { { 65, 2 } }, " spaced  out " } }
                           << QStringList{ "abc", " spaced  out " };
    QTest::newRow("beyond ascii")
        << QList<Combination>{ { { { 1, 0 } },
                                 QString::fromUtf8("\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f") },
                               { { { 2, 0 } }, QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac") },
                               { { { 3, 0 } }, QString::fromUtf16(u"\U0001F600\u20ac\u00a0") },
                               { { { 4, 0 } }, QString::fromUtf16(u"\ufdd0\U0001fffe\u0085") } }
        << QStringList{ QString::fromUtf8("\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f"),
                        QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac"),
                        QString::fromUtf16(u"\U0001F600\u20ac\u00a0"),
                        QString::fromUtf16(u"\ufdd0\U0001fffe\u0085") };
    QTest::newRow("quotes and ampersands")
        << QList<Combination>{ { { { 1, 0 } }, "\"'&<>" }, { { { 2, 0 } }, "&amp;&#9;]]>" } }
        << QStringList{ "\"'&<>", "&amp;&#9;]]>" };
    QTest::newRow("tab, line feed, return") << QList<Combination>{
        { { { 1, 0 } }, "a\tb" }, { { { 2, 0 } }, "\r\n" }, { { { 3, 0 } }, "\n x \t" }
    } << QStringList{ "a\tb", "\r\n", "\n x \t" };
    QTest::newRow("characters xml cannot hold")
        << QList<Combination>{ { { { 1, 0 } }, QString::fromUtf16(u"a\u0001b\ufffe") },
                               { { { 2, 0 } }, QString(QChar(0xD800)) + "after" },
                               { { { 3, 0 } }, "still here" } }
        << QStringList{ "ab", "after", "still here" };
    QTest::newRow("key codes and states") << QList<Combination>{
        { { { 0, 0 },
            { -1, -1 },
            { std::numeric_limits<int>::max(), std::numeric_limits<int>::min() } },
          "x" }
    } << QStringList{ "x" };
}

void KeyMapFormatTest::roundTrip()
{
    QFETCH(QList<Combination>, combinations);
    QFETCH(QStringList, expectedTexts);

    // GIVEN a document written from the combinations
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("hardware-keyboard.xml"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.write(KeyMapFormat::encode(document(combinations))) > 0);
    }
    // ... that validates against the published schema
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    QVERIFY2(!xmllint.isEmpty(), "xmllint is missing: scripts/install-deps.sh test installs it");
    QProcess lint;
    lint.start(xmllint, { "--noout", "--relaxng", QStringLiteral(SCHEMA_FILE), path });
    QVERIFY(lint.waitForFinished(60000));
    QVERIFY2(lint.exitStatus() == QProcess::NormalExit && lint.exitCode() == 0,
             lint.readAllStandardError().constData());
    // WHEN it is read back
    XmlParser parser;
    const auto keyboard = parser.parse(path);
    // THEN every combination, key, state and text comes back, in order
    QVERIFY(keyboard);
    QVERIFY2(parser.isComplete(), qPrintable(parser.errorString()));
    QCOMPARE(keyboard->items().size(), combinations.size());
    for (qsizetype i = 0; i < combinations.size(); ++i) {
        const XmlParser::KeyConfig &config = keyboard->items().at(i);
        QCOMPARE(config.replacement(), expectedTexts.at(i));
        QCOMPARE(config.items().size(), combinations.at(i).keys.size());
        for (qsizetype k = 0; k < config.items().size(); ++k) {
            QCOMPARE(config.items().at(k).key(), combinations.at(i).keys.at(k).first);
            QCOMPARE(config.items().at(k).state(), combinations.at(i).keys.at(k).second);
        }
    }
}

QTEST_MAIN(KeyMapFormatTest)
#include "tst_keymapformat.moc"
