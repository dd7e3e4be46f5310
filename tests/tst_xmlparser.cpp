#include "mapping/xmlparser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// One line per model: each combination as "[key/state,...:text]", a null text as "-".
QString describe(const XmlParser::Keyboard &keyboard)
{
    QStringList parts;
    for (const XmlParser::KeyConfig &config : keyboard.items()) {
        QStringList keys;
        for (const XmlParser::Key &key : config.items())
            keys << QStringLiteral("%1/%2").arg(key.key()).arg(key.state());
        const QString text = config.replacement().isNull()
            ? QStringLiteral("-")
            : QLatin1Char('\'') + config.replacement() + QLatin1Char('\'');
        parts << QLatin1Char('[') + keys.join(QLatin1Char(',')) + QLatin1Char(':') + text
                + QLatin1Char(']');
    }
    return parts.join(QLatin1Char(' '));
}

// Stops at an unknown element instead of ending the process, and remembers it.
class StoppingParser : public XmlParser
{
public:
    QStringList unknown;

protected:
    void unknownTag(const QString &qName) override
    {
        unknown << qName;
        stop();
    }
};

// While it lives, the calling thread lacks the capabilities with which the superuser
// reads any file, so that a file without read permission is unreadable for every user.
class WithoutReadOverride
{
public:
    WithoutReadOverride()
    {
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = { m_saved[0], m_saved[1] };
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, reduced);
    }
    ~WithoutReadOverride() { syscall(SYS_capset, &m_header, m_saved); }

private:
    __user_cap_header_struct m_header = { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct m_saved[2] = {};
};

QByteArray encoded(QStringConverter::Encoding encoding, const char *utf8)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder(QString::fromUtf8(utf8));
}

} // namespace

Q_DECLARE_METATYPE(KeyMapFile::Status)

class XmlParserTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fileStates_data();
    void fileStates();
    void numbers_data();
    void numbers();
    void documents_data();
    void documents();
    void unknownElementStops_data();
    void unknownElementStops();
    void reuseStartsAfresh();
    void manyCombinationsKeepTheirKeys();
    void unknownElementExits_data();
    void unknownElementExits();
    void sequenceAcrossReads_data();
    void sequenceAcrossReads();
    void hostileInput_data();
    void hostileInput();
    void largeFile();

private:
    QString writeFile(const QString &name, const QByteArray &content);
    QTemporaryDir m_dir;
};

void XmlParserTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString XmlParserTest::writeFile(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void XmlParserTest::fileStates_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("hasModel");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<KeyMapFile::Status>("status");

    using S = KeyMapFile::Status;
    QTest::newRow("missing file") << "missing" << false << false << S::Missing;
    QTest::newRow("dangling link") << "link" << false << false << S::Missing;
    QTest::newRow("empty file") << "empty" << true << false << S::BytesRead;
    QTest::newRow("only white space") << "blank" << true << false << S::BytesRead;
    QTest::newRow("not xml") << "text" << true << false << S::BytesRead;
    QTest::newRow("root only") << "root" << true << true << S::BytesRead;
    QTest::newRow("root self-closing") << "rootclosed" << true << true << S::BytesRead;
    QTest::newRow("a directory") << "directory" << true << false << S::NotRegular;
    QTest::newRow("a FIFO: never opened") << "fifo" << true << false << S::NotRegular;
    QTest::newRow("a link to a character device") << "device" << true << false << S::NotRegular;
    QTest::newRow("unreadable") << "unreadable" << true << false << S::Unreadable;
    // Limits of 128 bytes and 3 combinations.
    QTest::newRow("at the size limit") << "128 bytes" << true << true << S::BytesRead;
    QTest::newRow("one byte over it") << "129 bytes" << true << false << S::TooLarge;
    QTest::newRow("at the combination limit") << "3 combinations" << true << true << S::BytesRead;
    QTest::newRow("one combination over it") << "4 combinations" << true << false << S::TooLarge;
}

void XmlParserTest::fileStates()
{
    QFETCH(QString, kind);
    QFETCH(bool, hasModel);
    QFETCH(bool, complete);
    QFETCH(KeyMapFile::Status, status);

    QString path = m_dir.filePath(kind);
    const QByteArray root = "<hardware-keyboard/>";
    if (kind == "link") {
        QVERIFY(QFile::link(m_dir.filePath("nowhere"), path) || QFileInfo(path).isSymLink());
    } else if (kind == "empty") {
        writeFile(kind, QByteArray());
    } else if (kind == "blank") {
        writeFile(kind, " \n\t\n");
    } else if (kind == "text") {
        writeFile(kind, "just some words\n");
    } else if (kind == "root") {
        writeFile(kind, "<hardware-keyboard>\n</hardware-keyboard>");
    } else if (kind == "rootclosed") {
        writeFile(kind, "<hardware-keyboard/>");
    } else if (kind == "directory") {
        QVERIFY(QDir(m_dir.path()).mkpath(kind));
    } else if (kind == "fifo") {
        QVERIFY(QFile::exists(path) || mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind == "device") {
        QVERIFY(QFile::exists(path) || QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (kind == "unreadable") {
        writeFile(kind, root);
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    } else if (kind.endsWith(" bytes")) {
        writeFile(kind, QByteArray(kind.split(' ').at(0).toInt() - root.size(), ' ') + root);
    } else if (kind.endsWith(" combinations")) {
        writeFile(kind,
                  "<hardware-keyboard>"
                      + QByteArray("<key-config/>").repeated(kind.split(' ').at(0).toInt())
                      + "</hardware-keyboard>");
    }

    XmlParser parser;
    parser.setLimits(128, 3);
    std::unique_ptr<XmlParser::Keyboard> keyboard;
    {
        WithoutReadOverride asAnyUser;
        if (kind == "unreadable")
            QVERIFY(!QFile(path).open(QIODevice::ReadOnly));
        keyboard = parser.parse(path);
    }
    QCOMPARE(parser.fileStatus(), status);
    QCOMPARE(bool(keyboard), hasModel);
    if (keyboard && kind != "3 combinations")
        QVERIFY(keyboard->items().isEmpty());
    QCOMPARE(parser.isComplete(), complete);
    QCOMPARE(parser.errorString().isEmpty(), complete);
}

void XmlParserTest::numbers_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("state");

    QTest::newRow("plain") << QByteArray("keycode=\"81\" state=\"8\"") << 81 << 8;
    QTest::newRow("state absent") << QByteArray("keycode=\"81\"") << 81 << 0;
    QTest::newRow("both absent") << QByteArray("") << 0 << 0;
    QTest::newRow("attribute order") << QByteArray("state='4' keycode='65'") << 65 << 4;
    QTest::newRow("letters") << QByteArray("keycode=\"abc\" state=\"1\"") << 0 << 1;
    QTest::newRow("signed with blanks") << QByteArray("keycode=\" -7 \"") << -7 << 0;
    QTest::newRow("plus sign") << QByteArray("keycode=\"+12\"") << 12 << 0;
    QTest::newRow("leading zeros") << QByteArray("keycode=\"007\"") << 7 << 0;
    QTest::newRow("tab and line feed") << QByteArray("keycode=\"&#9;5&#10;\"") << 5 << 0;
    QTest::newRow("too large") << QByteArray("keycode=\"99999999999\"") << 0 << 0;
    QTest::newRow("int max") << QByteArray("keycode=\"2147483647\"") << 2147483647 << 0;
    QTest::newRow("int max + 1") << QByteArray("keycode=\"2147483648\"") << 0 << 0;
    QTest::newRow("int min") << QByteArray("state=\"-2147483648\"") << 0 << int(-2147483647 - 1);
    QTest::newRow("int min - 1") << QByteArray("state=\"-2147483649\"") << 0 << 0;
    QTest::newRow("many digits") << QByteArray("keycode=\"100000000000000000000000000081\"") << 0
                                 << 0;
    QTest::newRow("empty") << QByteArray("keycode=\"\"") << 0 << 0;
    QTest::newRow("sign only") << QByteArray("keycode=\"-\"") << 0 << 0;
    QTest::newRow("two signs") << QByteArray("keycode=\"--3\"") << 0 << 0;
    QTest::newRow("inner blank") << QByteArray("keycode=\"1 2\"") << 0 << 0;
    QTest::newRow("hexadecimal") << QByteArray("keycode=\"0x51\"") << 0 << 0;
    QTest::newRow("fraction") << QByteArray("keycode=\"8.5\"") << 0 << 0;
    QTest::newRow("arabic-indic digit") << QByteArray("keycode=\"\xd9\xa3\"") << 0 << 0;
    QTest::newRow("prefixed name") << QByteArray("x:keycode=\"9\"") << 0 << 0;
}

void XmlParserTest::numbers()
{
    QFETCH(QByteArray, attributes);
    QFETCH(int, key);
    QFETCH(int, state);

    const QString path = writeFile("numbers.xml",
                                   "<hardware-keyboard><key-config><key " + attributes
                                       + "/></key-config></hardware-keyboard>");
    XmlParser parser;
    const auto keyboard = parser.parse(path);
    QVERIFY(keyboard);
    QVERIFY2(parser.isComplete(), qPrintable(parser.errorString()));
    QCOMPARE(keyboard->items().size(), 1);
    QCOMPARE(keyboard->items().at(0).items().size(), 1);
    QCOMPARE(keyboard->items().at(0).items().at(0).key(), key);
    QCOMPARE(keyboard->items().at(0).items().at(0).state(), state);
}

void XmlParserTest::documents_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("complete");

    QTest::newRow("as written") << QByteArray("<hardware-keyboard>\n\t<key-config>\n"
                                              "\t\t<key keycode=\"81\" state=\"0\"/>\n"
                                              "\t\t<key keycode=\"87\" state=\"8\"/>\n"
                                              "\t\t<replacement text=\"abc\"/>\n"
                                              "\t</key-config>\n</hardware-keyboard>")
                                << "[81/0,87/8:'abc']" << true;
    QTest::newRow("second replacement wins")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1'/>"
                      "<replacement text='first'/><replacement text='second'/>"
                      "</key-config></hardware-keyboard>")
        << "[1/0:'second']" << true;
    QTest::newRow("no key, no replacement")
        << QByteArray("<hardware-keyboard><key-config/><key-config></key-config>"
                      "</hardware-keyboard>")
        << "[:-] [:-]" << true;
    QTest::newRow("replacement without text")
        << QByteArray("<hardware-keyboard><key-config><replacement/></key-config>"
                      "</hardware-keyboard>")
        << "[:-]" << true;
    QTest::newRow("empty text is set")
        << QByteArray("<hardware-keyboard><key-config><replacement text=''/></key-config>"
                      "</hardware-keyboard>")
        << "[:'']" << true;
    QTest::newRow("entities in text")
        << QByteArray("<hardware-keyboard><key-config><replacement "
                      "text='&amp;&lt;&gt;&quot;&apos;&#233;&#x1F600;'/></key-config>"
                      "</hardware-keyboard>")
        << QString::fromUtf8("[:'&<>\"'\xc3\xa9\xf0\x9f\x98\x80']") << true;
    QTest::newRow("utf-8 text") << QByteArray("<hardware-keyboard><key-config><replacement "
                                              "text='\xc3\xa4\xe2\x82\xac'/></key-config>"
                                              "</hardware-keyboard>")
                                << QString::fromUtf8("[:'\xc3\xa4\xe2\x82\xac']") << true;
    QTest::newRow("key before first combination")
        << QByteArray("<hardware-keyboard><key keycode='5'/><replacement text='x'/>"
                      "<key-config><key keycode='6'/></key-config></hardware-keyboard>")
        << "[6/0:-]" << true;
    QTest::newRow("key after the end tag")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1'/></key-config>"
                      "<key keycode='2'/><replacement text='late'/></hardware-keyboard>")
        << "[1/0,2/0:'late']" << true;
    QTest::newRow("nested combination begins the next")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1'/><key-config>"
                      "<key keycode='2'/></key-config><key keycode='3'/></key-config>"
                      "</hardware-keyboard>")
        << "[1/0:-] [2/0,3/0:-]" << true;
    QTest::newRow("root is a combination")
        << QByteArray("<key-config><key keycode='4' state='2'/><replacement text='r'/>"
                      "</key-config>")
        << "[4/2:'r']" << true;
    QTest::newRow("declaration, comments, text")
        << QByteArray("<?xml version='1.0'?><!-- c --><hardware-keyboard>noise"
                      "<key-config><?pi x?><key keycode='1'/></key-config>"
                      "</hardware-keyboard><!-- end -->\n")
        << "[1/0:-]" << true;
    QTest::newRow("error after first combination")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1'/>"
                      "<replacement text='a'/></key-config><key-config><key keycode='2'"
                      "</key-config></hardware-keyboard>")
        << "[1/0:'a'] [:-]" << false;
    QTest::newRow("mismatched end tag")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1'/></key-confg>"
                      "<key-config/></hardware-keyboard>")
        << "[1/0:-]" << false;
    QTest::newRow("truncated") << QByteArray("<hardware-keyboard><key-config><key keycode='1'/>"
                                             "<replacement text='ab")
                               << "[1/0:-]" << false;
    QTest::newRow("missing root end")
        << QByteArray("<hardware-keyboard><key-config/>") << "[:-]" << false;
    QTest::newRow("extra content after root")
        << QByteArray("<hardware-keyboard><key-config/></hardware-keyboard><key-config/>") << "[:-]"
        << false;
    QTest::newRow("invalid utf-8 after first combination")
        << QByteArray("<hardware-keyboard><key-config><replacement text='ok'/></key-config>"
                      "<key-config><replacement text='\xe9t\xe9'/></key-config>"
                      "</hardware-keyboard>")
        << "[:'ok'] [:-]" << false;
    QTest::newRow("truncated utf-8") << QByteArray("<hardware-keyboard><key-config/>"
                                                   "<key-config><replacement text='\xc3")
                                     << "[:-] [:-]" << false;
    QTest::newRow("forbidden character reference")
        << QByteArray("<hardware-keyboard><key-config><replacement text='a&#1;'/>"
                      "</key-config></hardware-keyboard>")
        << "[:-]" << false;
    QTest::newRow("duplicate attribute")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1' keycode='2'/>"
                      "</key-config></hardware-keyboard>")
        << "[:-]" << false;
    QTest::newRow("undeclared prefix is only a name")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1' x:y='2'/>"
                      "</key-config></hardware-keyboard>")
        << "[1/0:-]" << true;
    QTest::newRow("internal entity")
        << QByteArray("<!DOCTYPE hardware-keyboard [<!ENTITY e 'euro'>]><hardware-keyboard>"
                      "<key-config><replacement text='&e;!'/></key-config>"
                      "</hardware-keyboard>")
        << "[:'euro!']" << true;
    QTest::newRow("external entity is not fetched")
        << QByteArray("<!DOCTYPE hardware-keyboard [<!ENTITY e SYSTEM '/etc/hostname'>]>"
                      "<hardware-keyboard><key-config><replacement text='&e;'/></key-config>"
                      "</hardware-keyboard>")
        << "[:-]" << false;
    QTest::newRow("invalid utf-8 after the root")
        << QByteArray("<hardware-keyboard><key-config/></hardware-keyboard>\n\xff") << "[:-]"
        << false;
    QTest::newRow("overlong utf-8") << QByteArray("<hardware-keyboard><key-config/><key-config>"
                                                  "<replacement text='\xc0\xaf'/></key-config>"
                                                  "</hardware-keyboard>")
                                    << "[:-] [:-]" << false;
    QTest::newRow("surrogate in utf-8")
        << QByteArray("<hardware-keyboard><key-config/><key-config>"
                      "<replacement text='\xed\xa0\x80'/></key-config></hardware-keyboard>")
        << "[:-] [:-]" << false;
    QTest::newRow("beyond U+10FFFF") << QByteArray("<hardware-keyboard><key-config/><key-config>"
                                                   "<replacement text='\xf4\x90\x80\x80'/>"
                                                   "</key-config></hardware-keyboard>")
                                     << "[:-] [:-]" << false;
    // Declared encodings and byte-order marks are honoured; the rule of the first byte
    // that is not UTF-8 holds only without a declaration or under a UTF-8 one.
    QTest::newRow("8-bit text under a latin-1 declaration")
        << QByteArray("<?xml version='1.0' encoding='ISO-8859-1'?><hardware-keyboard>"
                      "<key-config><replacement text='\xe9t\xe9'/></key-config>"
                      "<key-config><replacement text='b'/></key-config>"
                      "<key-config><replacement text='c\xfc'/></key-config></hardware-keyboard>")
        << QString::fromUtf8("[:'\xc3\xa9t\xc3\xa9'] [:'b'] [:'c\xc3\xbc']") << true;
    QTest::newRow("windows-1252 declaration")
        << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?><hardware-keyboard>"
                      "<key-config><replacement text='\x80'/></key-config></hardware-keyboard>")
        << QString::fromUtf8("[:'\xe2\x82\xac']") << true;
    QTest::newRow("utf-8 declaration stops at a byte that is not")
        << QByteArray("<?xml version='1.0' encoding='utf-8'?><hardware-keyboard><key-config>"
                      "<replacement text='ok'/></key-config><key-config><replacement "
                      "text='\xe9'/></key-config></hardware-keyboard>")
        << "[:'ok'] [:-]" << false;
    QTest::newRow("unknown encoding") << QByteArray("<?xml version='1.0' encoding='x-none'?>"
                                                    "<hardware-keyboard><key-config/>"
                                                    "</hardware-keyboard>")
                                      << "" << false;
    QTest::newRow("utf-16 little-endian with byte-order mark")
        << encoded(QStringConverter::Utf16LE,
                   "<hardware-keyboard><key-config><key keycode='81'/><replacement "
                   "text='\xc3\xa9\xf0\x9f\x98\x80'/></key-config></hardware-keyboard>")
        << QString::fromUtf8("[81/0:'\xc3\xa9\xf0\x9f\x98\x80']") << true;
    QTest::newRow("utf-16 big-endian, declared, with byte-order mark")
        << encoded(QStringConverter::Utf16BE,
                   "<?xml version='1.0' encoding='UTF-16'?><hardware-keyboard><key-config>"
                   "<replacement text='\xe2\x82\xac'/></key-config></hardware-keyboard>")
        << QString::fromUtf8("[:'\xe2\x82\xac']") << true;
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf<hardware-keyboard><key-config/>"
                                                   "</hardware-keyboard>")
                                     << "[:-]" << true;
    QTest::newRow("byte order mark, then a byte that is not utf-8")
        << QByteArray("\xef\xbb\xbf<hardware-keyboard><key-config><key keycode='81'/>"
                      "<key keycode='87'/>\xff</key-config></hardware-keyboard>")
        << "[81/0,87/0:-]" << false;
}

void XmlParserTest::documents()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, model);
    QFETCH(bool, complete);

    const QString path = writeFile("document.xml", content);
    XmlParser parser;
    const auto keyboard = parser.parse(path);
    QVERIFY(keyboard);
    QCOMPARE(describe(*keyboard), model);
    QCOMPARE(parser.isComplete(), complete);
    QCOMPARE(parser.errorString().isEmpty(), complete);
    if (!complete)
        QVERIFY2(parser.errorString().contains(path), qPrintable(parser.errorString()));
}

void XmlParserTest::unknownElementStops_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("unknown");

    QTest::newRow("capital letters")
        << QByteArray("<hardware-keyboard><key-config><key keycode='1'/></key-config>"
                      "<KEY-CONFIG/><key-config/></hardware-keyboard>")
        << "[1/0:-]"
        << "KEY-CONFIG";
    QTest::newRow("other root") << QByteArray("<keyboard><key-config/></keyboard>") << ""
                                << "keyboard";
    QTest::newRow("prefixed name") << QByteArray("<hardware-keyboard><x:key-config/>"
                                                 "</hardware-keyboard>")
                                   << ""
                                   << "x:key-config";
}

void XmlParserTest::unknownElementStops()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, model);
    QFETCH(QString, unknown);

    StoppingParser parser;
    const auto keyboard = parser.parse(writeFile("unknown.xml", content));
    QVERIFY(keyboard);
    QCOMPARE(describe(*keyboard), model);
    QCOMPARE(parser.unknown, QStringList{ unknown });
    QVERIFY(!parser.isComplete());
    QVERIFY2(parser.errorString().contains(unknown), qPrintable(parser.errorString()));
}

void XmlParserTest::reuseStartsAfresh()
{
    // GIVEN a parser that has read one model, and a second file whose key comes before
    // any combination
    XmlParser parser;
    auto first = parser.parse(writeFile("first.xml",
                                        "<hardware-keyboard><key-config>"
                                        "<key keycode='1'/></key-config>"
                                        "</hardware-keyboard>"));
    QVERIFY(first);
    // WHEN the same parser reads the second file
    const auto second = parser.parse(writeFile("second.xml",
                                               "<hardware-keyboard>"
                                               "<key keycode='2'/>"
                                               "<replacement text='x'/>"
                                               "</hardware-keyboard>"));
    // THEN the key goes nowhere: not into the first model, which its owner holds
    QVERIFY(second);
    QCOMPARE(describe(*second), QString());
    QCOMPARE(describe(*first), QStringLiteral("[1/0:-]"));
    first.reset();
    QVERIFY(parser.isComplete());
}

void XmlParserTest::manyCombinationsKeepTheirKeys()
{
    // Appending combinations moves the stored ones; keys must still reach the newest.
    QByteArray content = "<hardware-keyboard>";
    for (int i = 0; i < 2000; ++i)
        content += "<key-config><key keycode='" + QByteArray::number(i) + "' state='"
            + QByteArray::number(-i) + "'/><replacement text='t" + QByteArray::number(i)
            + "'/></key-config>";
    content += "</hardware-keyboard>";
    XmlParser parser;
    const auto keyboard = parser.parse(writeFile("many.xml", content));
    QVERIFY(keyboard);
    QVERIFY(parser.isComplete());
    QCOMPARE(keyboard->items().size(), 2000);
    for (int i = 0; i < 2000; ++i) {
        const XmlParser::KeyConfig &config = keyboard->items().at(i);
        QCOMPARE(config.items().size(), 1);
        QCOMPARE(config.items().at(0).key(), i);
        QCOMPARE(config.items().at(0).state(), -i);
        QCOMPARE(config.replacement(), QStringLiteral("t%1").arg(i));
    }
}

void XmlParserTest::unknownElementExits_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("stdErr");
    QTest::addColumn<QByteArray>("stdOut");

    const QByteArray capital = "<hardware-keyboard><key-config><key keycode='1'/></key-config>"
                               "<KEY-CONFIG/></hardware-keyboard>";
    QTest::newRow("capital letters")
        << capital << 1 << QByteArray("Unknow tag KEY-CONFIG\n") << QByteArray();
    QTest::newRow("name in latin-1") << QByteArray("<t\xc3\xabst/>") << 1
                                     << QByteArray("Unknow tag t\xebst\n") << QByteArray();
    QTest::newRow("known elements only")
        << QByteArray("<hardware-keyboard><key-config/></hardware-keyboard>") << 0
        << QByteArray() << QByteArray("1 combinations, complete\n");
    QTest::newRow("unknown element after a parse error")
        << QByteArray("<hardware-keyboard><key-config></hardware-keyboard><bogus/>") << 0
        << QByteArray() << QByteArray("1 combinations, incomplete\n");
}

void XmlParserTest::unknownElementExits()
{
    QFETCH(QByteArray, content);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, stdErr);
    QFETCH(QByteArray, stdOut);

    const QStringList arguments{ writeFile("exit.xml", content) };
    // A runtime folder of its own and a UTF-8 locale, so that the application in the
    // child writes nothing else to standard error (Qt warns about a locale that is not
    // UTF-8, as on a bare system with none set).
    const QString runtime = m_dir.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(
        runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(HELPER_XMLPARSER), arguments);
    QVERIFY(process.waitForStarted(10000));
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        QFAIL("the helper did not end");
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    QCOMPARE(process.readAllStandardError(), stdErr);
    QCOMPARE(process.readAllStandardOutput(), stdOut);
}

void XmlParserTest::sequenceAcrossReads_data()
{
    QTest::addColumn<QByteArray>("sequence");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("valid");

    // The file is read in blocks of 64 KiB; the sequence is put across such a border.
    const QByteArray two("\xc3\xa9");
    const QByteArray three("\xe2\x82\xac");
    const QByteArray four("\xf0\x9f\x98\x80");
    for (int shift = 0; shift <= 4; ++shift) {
        QTest::addRow("two bytes, %d before", shift) << two << shift << true;
        QTest::addRow("three bytes, %d before", shift) << three << shift << true;
        QTest::addRow("four bytes, %d before", shift) << four << shift << true;
        QTest::addRow("cut four bytes, %d before", shift) << four.left(3) << shift << false;
    }
}

void XmlParserTest::sequenceAcrossReads()
{
    QFETCH(QByteArray, sequence);
    QFETCH(int, shift);
    QFETCH(bool, valid);

    const QByteArray head = "<hardware-keyboard><key-config><replacement text='";
    const int block = 64 * 1024;
    const QByteArray before(block - head.size() - shift, 'a');
    const QByteArray content = head + before + sequence + "z'/></key-config></hardware-keyboard>";
    XmlParser parser;
    const auto keyboard = parser.parse(writeFile("across.xml", content));
    QVERIFY(keyboard);
    QCOMPARE(parser.isComplete(), valid);
    QCOMPARE(keyboard->items().size(), 1);
    if (valid)
        QCOMPARE(keyboard->items().at(0).replacement(),
                 QString::fromLatin1(before) + QString::fromUtf8(sequence) + u'z');
    else
        QVERIFY2(parser.errorString().contains(QString::number(block - shift)),
                 qPrintable(parser.errorString()));
}

void XmlParserTest::hostileInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("combinations");
    QTest::addColumn<bool>("complete");

    QByteArray bomb = "<!DOCTYPE hardware-keyboard [<!ENTITY e0 'xxxxxxxxxxxxxxxx'>";
    for (int i = 1; i < 12; ++i) {
        bomb += "<!ENTITY e" + QByteArray::number(i) + " '";
        for (int j = 0; j < 16; ++j)
            bomb += "&e" + QByteArray::number(i - 1) + ';';
        bomb += "'>";
    }
    bomb += "]><hardware-keyboard><key-config/><key-config><replacement text='&e11;'/>"
            "</key-config></hardware-keyboard>";
    QTest::newRow("expansion bomb in an attribute") << bomb << 2 << false;
    QByteArray contentBomb = bomb;
    contentBomb.replace("<replacement text='&e11;'/>", "&e11;");
    QTest::newRow("expansion bomb in content") << contentBomb << 2 << false;

    const int depth = 200000;
    QTest::newRow("deep nesting, well-formed")
        << QByteArray("<key-config>").repeated(depth) + QByteArray("</key-config>").repeated(depth)
        << depth << true;
    QTest::newRow("deep nesting, unclosed")
        << QByteArray("<hardware-keyboard>") + QByteArray("<key-config>").repeated(depth) << depth
        << false;

    const QByteArray huge(8 * 1024 * 1024, 'a');
    QTest::newRow("attribute of megabytes") << "<hardware-keyboard><key-config><replacement text='"
            + huge + "'/></key-config></hardware-keyboard>"
                                            << 1 << true;
    QTest::newRow("unterminated attribute of megabytes")
        << "<hardware-keyboard><key-config><replacement text='" + huge << 1 << false;
    QTest::newRow("binary") << QByteArray("\x00\x01\x02\xff\xfe<\x00", 7) << 0 << false;
    QTest::newRow("utf-16") << QByteArray("\xff\xfe", 2)
            + QByteArray(reinterpret_cast<const char *>(u"<key-config/>"), 26)
                            << 1 << true;
}

void XmlParserTest::hostileInput()
{
    QFETCH(QByteArray, content);
    QFETCH(int, combinations);
    QFETCH(bool, complete);

    const QString path = writeFile("hostile.xml", content);
    QElapsedTimer timer;
    timer.start();
    StoppingParser parser;
    const auto keyboard = parser.parse(path);
    QVERIFY(keyboard);
    QCOMPARE(keyboard->items().size(), combinations);
    QCOMPARE(parser.isComplete(), complete);
    QVERIFY(parser.unknown.isEmpty());
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
}

void XmlParserTest::largeFile()
{
    // GIVEN a 50 MB file: 200,000 combinations, then white space up to the size
    const int count = 200000;
    const QString path = m_dir.filePath("large.xml");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<hardware-keyboard>\n");
        for (int i = 0; i < count; ++i)
            file.write("\t<key-config>\n\t\t<key keycode=\"" + QByteArray::number(i)
                       + "\" state=\"0\"/>\n\t\t<replacement text=\"some text\"/>\n"
                         "\t</key-config>\n");
        const QByteArray padding(1024 * 1024, ' ');
        while (file.size() < 50 * 1024 * 1024)
            file.write(padding);
        file.write("</hardware-keyboard>");
    }
    QVERIFY(QFileInfo(path).size() > 50 * 1024 * 1024);
    // WHEN it is read
    QElapsedTimer timer;
    timer.start();
    XmlParser parser;
    const auto keyboard = parser.parse(path);
    // THEN all of it arrives, in reasonable time
    QVERIFY(keyboard);
    QVERIFY2(parser.isComplete(), qPrintable(parser.errorString()));
    QCOMPARE(keyboard->items().size(), count);
    QCOMPARE(keyboard->items().last().items().at(0).key(), count - 1);
    QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_MAIN(XmlParserTest)
#include "tst_xmlparser.moc"
