#include "app/configwidget.h"
#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"
#include "platform/config.h"
#include "platform/qcopenvelope.h"
#include "storefile.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>

// The settings window: what it shows from the store, what it writes back, and the
// order in which the input method hears about it.
class ConfigWidgetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void firstStartShowsDefaults();
    void storedValuesAreBoundedAndWrittenBack_data();
    void storedValuesAreBoundedAndWrittenBack();
    void editedValuesAreSaved();
    void disableGoesOutBeforeAnyPage();
    void closeCommitsSettingsBeforeReread();
    void noCloseNoEnable();
    void loadsWhatTheReaderCollected_data();
    void loadsWhatTheReaderCollected();
    void closeRewritesFileBeforeReread_data();
    void closeRewritesFileBeforeReread();
    void unwritableFileSaysUpsAndClosesAnyway();
    void unwritableStoreSaysUpsAndClosesAnyway();
    void longTextsComeBackWhole();

private:
    struct Sent
    {
        QString message;
        int spinBoxes; // spin boxes alive when it was sent
        QByteArray store; // the settings file's content at that moment
        QByteArray mapping; // the key mapping file's content at that moment
    };
    static QString mappingPath();
    static QByteArray read(const QString &path);
    static void writeMapping(const QByteArray &content);
    static int editors(ConfigWidget &w)
    {
        return w.keyConfigSet->findChildren<KeyConfig *>().size();
    }
    void closeWindow(ConfigWidget &w);
    static QLineEdit *symbols(ConfigWidget &w) { return w.symbolsEdit; }
    static QSpinBox *fontSize(ConfigWidget &w) { return w.fontSizeBox; }
    static QSpinBox *delay(ConfigWidget &w) { return w.delayBox; }

    QList<Sent> m_sent;
};

QString ConfigWidgetTest::mappingPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/tavorin/hardware-keyboard.xml");
}

QByteArray ConfigWidgetTest::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ConfigWidgetTest::writeMapping(const QByteArray &content)
{
    QDir().mkpath(QFileInfo(mappingPath()).absolutePath());
    QFile file(mappingPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void ConfigWidgetTest::closeWindow(ConfigWidget &w)
{
    w.show();
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
}

void ConfigWidgetTest::init()
{
    QDir(storePath()).removeRecursively(); // a folder some tests put in its place
    QFile::remove(storePath());
    QDir(QFileInfo(mappingPath()).absolutePath()).removeRecursively();
    m_sent.clear();
    QCopEnvelope::setObserver([this](const QString &channel, const QString &message) {
        QCOMPARE(channel, QStringLiteral("Tavorin/Private"));
        int spinBoxes = 0;
        for (QWidget *w : QApplication::allWidgets())
            spinBoxes += qobject_cast<QSpinBox *>(w) != nullptr;
        m_sent.append({ message, spinBoxes, read(storePath()), read(mappingPath()) });
    });
}

void ConfigWidgetTest::cleanup()
{
    QCopEnvelope::setObserver({});
}

void ConfigWidgetTest::firstStartShowsDefaults()
{
    ConfigWidget w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Tavorin Settings"));
    QCOMPARE(w.count(), 2);
    QCOMPARE(w.tabText(0), QStringLiteral("General"));
    QCOMPARE(w.tabText(1), QStringLiteral("Physical Keyboard"));
    QCOMPARE(symbols(w)->text(), QStringLiteral("\\"));
    QCOMPARE(fontSize(w)->value(), 12);
    QCOMPARE(delay(w)->value(), 1000);
    QCOMPARE(delay(w)->text(), QStringLiteral("1000ms"));
    QVERIFY(!QFile::exists(storePath())); // reading alone writes nothing
}

void ConfigWidgetTest::storedValuesAreBoundedAndWrittenBack_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("fontSizeShown");
    QTest::addColumn<int>("delayShown");
    QTest::newRow("above range") << QByteArray("fontSize=100\ndelay=20000\n") << 48 << 10000;
    QTest::newRow("below range") << QByteArray("fontSize=2\ndelay=50\n") << 6 << 100;
    QTest::newRow("at the bounds") << QByteArray("fontSize=6\ndelay=10000\n") << 6 << 10000;
    QTest::newRow("not numbers") << QByteArray("fontSize=big\ndelay=\n") << 12 << 1000;
    QTest::newRow("off the step") << QByteArray("fontSize=13\ndelay=150\n") << 13 << 150;
}

void ConfigWidgetTest::storedValuesAreBoundedAndWrittenBack()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, fontSizeShown);
    QFETCH(int, delayShown);
    writeStore("[Tavorin]\n" + stored);
    {
        ConfigWidget w;
        QCOMPARE(fontSize(w)->value(), fontSizeShown);
        QCOMPARE(delay(w)->value(), delayShown);
        w.show();
        QVERIFY(w.close());
    }
    QSettings store(storePath(), QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("Tavorin/fontSize")).toInt(), fontSizeShown);
    QCOMPARE(store.value(QStringLiteral("Tavorin/delay")).toInt(), delayShown);
    QCOMPARE(store.value(QStringLiteral("Tavorin/symbols")).toString(), QStringLiteral("\\"));
}

void ConfigWidgetTest::editedValuesAreSaved()
{
    const QString text = QStringLiteral("äöü ,;=\"\\ #x");
    {
        ConfigWidget w;
        symbols(w)->setText(text);
        fontSize(w)->setValue(20);
        delay(w)->setValue(2500);
        w.show();
        QVERIFY(w.close());
    }
    ConfigWidget again;
    QCOMPARE(symbols(again)->text(), text);
    QCOMPARE(fontSize(again)->value(), 20);
    QCOMPARE(delay(again)->value(), 2500);
}

void ConfigWidgetTest::disableGoesOutBeforeAnyPage()
{
    ConfigWidget w;
    QCOMPARE(m_sent.size(), 1);
    QCOMPARE(m_sent[0].message, QStringLiteral("disable()"));
    QCOMPARE(m_sent[0].spinBoxes, 0);
}

void ConfigWidgetTest::closeCommitsSettingsBeforeReread()
{
    writeStore("[Tavorin]\nfontSize=20\n");
    {
        ConfigWidget w;
        fontSize(w)->setValue(30);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
    }
    QStringList messages;
    for (const Sent &s : std::as_const(m_sent))
        messages << s.message;
    QCOMPARE(messages,
             QStringList({ QStringLiteral("disable()"), QStringLiteral("reread()"),
                           QStringLiteral("enable()") }));
    // An input method that re-reads at once finds the new value.
    QVERIFY2(m_sent[1].store.contains("fontSize=30"), m_sent[1].store.constData());
}

void ConfigWidgetTest::noCloseNoEnable()
{
    {
        ConfigWidget w;
        w.show();
    } // destroyed without a close
    QCOMPARE(m_sent.size(), 1);
    QCOMPARE(m_sent[0].message, QStringLiteral("disable()"));
    QVERIFY(!QFile::exists(storePath()));
}

namespace {
const QByteArray rootOnly("<hardware-keyboard>\n</hardware-keyboard>");
const QByteArray twoCombinations("<hardware-keyboard>\n"
                                 "\t<key-config>\n"
                                 "\t\t<key keycode=\"81\" state=\"8\"/>\n"
                                 "\t\t<key keycode=\"4144\" state=\"0\"/>\n"
                                 "\t\t<replacement text=\"&quot;x&quot; &amp; \xc3\xa4\"/>\n"
                                 "\t</key-config>\n"
                                 "\t<key-config>\n"
                                 "\t\t<key keycode=\"4099\" state=\"16\"/>\n"
                                 "\t\t<replacement text=\"&lt;br>\"/>\n"
                                 "\t</key-config>\n"
                                 "</hardware-keyboard>");
} // namespace

void ConfigWidgetTest::loadsWhatTheReaderCollected_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("expectedEditors");
    QTest::newRow("no file: one empty combination") << false << QByteArray() << 1;
    QTest::newRow("empty file") << true << QByteArray() << 0;
    QTest::newRow("root only") << true << rootOnly << 0;
    QTest::newRow("two combinations") << true << twoCombinations << 2;
    QTest::newRow("cut short in the second")
        << true << twoCombinations.left(twoCombinations.indexOf("4099")) << 2;
    QTest::newRow("not XML") << true << QByteArray("hello") << 0;
}

void ConfigWidgetTest::loadsWhatTheReaderCollected()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(int, expectedEditors);
    if (exists)
        writeMapping(content);
    if (exists && content != rootOnly && content != twoCombinations)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read")));
    ConfigWidget w;
    QCOMPARE(editors(w), expectedEditors);
}

void ConfigWidgetTest::closeRewritesFileBeforeReread_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("backup");
    QTest::newRow("own layout stays byte for byte") << twoCombinations << twoCombinations << false;
    QTest::newRow("indented differently")
        << QByteArray("<hardware-keyboard><key-config><replacement text='a'/>"
                      "<key state=' 8 ' keycode='65'/></key-config></hardware-keyboard>\n")
        << QByteArray("<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode=\"65\" state=\"8\"/>\n"
                      "\t\t<replacement text=\"a\"/>\n\t</key-config>\n</hardware-keyboard>")
        << false;
    QTest::newRow("incomplete combinations are dropped")
        << QByteArray("<hardware-keyboard><key-config><key keycode='65'/></key-config>"
                      "<key-config><replacement text='x'/></key-config></hardware-keyboard>")
        << rootOnly << false;
    // What was read of the cut-short combination has no key, so it is not written.
    QTest::newRow("cut short: backup kept")
        << twoCombinations.left(twoCombinations.indexOf("4099"))
        << twoCombinations.left(twoCombinations.indexOf("\t<key-config>\n\t\t<key keycode=\"4099"))
            + "</hardware-keyboard>"
        << true;
}

void ConfigWidgetTest::closeRewritesFileBeforeReread()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, expected);
    QFETCH(bool, backup);
    writeMapping(content);
    if (backup)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read")));
    ConfigWidget w;
    if (backup)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("original content is kept")));
    closeWindow(w);
    QCOMPARE(read(mappingPath()), expected);
    QCOMPARE(m_sent.size(), 3);
    QCOMPARE(m_sent[1].message, QStringLiteral("reread()"));
    QCOMPARE(m_sent[1].mapping, expected); // complete on disk before "reread()"
    QCOMPARE(QFile::exists(mappingPath() + QStringLiteral(".bak")), backup);
    if (backup)
        QCOMPARE(read(mappingPath() + QStringLiteral(".bak")), content);
}

void ConfigWidgetTest::unwritableFileSaysUpsAndClosesAnyway()
{
    // A folder in place of the file: it can be neither read nor replaced, even by root.
    QVERIFY(QDir().mkpath(mappingPath()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read")));
    ConfigWidget w;
    QCOMPARE(editors(w), 0);
    QTest::ignoreMessage(QtDebugMsg, "Ups!");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("was not replaced")));
    closeWindow(w);
    QVERIFY(QFileInfo(mappingPath()).isDir());
    QCOMPARE(m_sent.size(), 3);
    QCOMPARE(m_sent[2].message, QStringLiteral("enable()"));
    QVERIFY(QFile::exists(storePath()));
}

void ConfigWidgetTest::unwritableStoreSaysUpsAndClosesAnyway()
{
    // A folder in place of the store's file: it can be neither read nor replaced.
    QVERIFY(QDir().mkpath(storePath()));
    ConfigWidget w;
    QTest::ignoreMessage(QtDebugMsg, "Ups!");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("Tavorin.conf was left as it was: .+")));
    closeWindow(w);
    QVERIFY(QFileInfo(storePath()).isDir());
    QCOMPARE(m_sent.size(), 3);
    QCOMPARE(m_sent[2].message, QStringLiteral("enable()"));
    QVERIFY(QFile::exists(mappingPath())); // the key mappings were still saved
}

void ConfigWidgetTest::longTextsComeBackWhole()
{
    // Longer than a line edit holds by default (32767 characters).
    const QString replacement = QString(40000, QLatin1Char('r')) + QStringLiteral("end");
    const QString longSymbols = QString(40000, QLatin1Char('s')) + QStringLiteral("end");
    const QByteArray file =
        "<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode=\"81\" state=\"0\"/>\n"
        "\t\t<replacement text=\""
        + replacement.toUtf8()
        + "\"/>\n\t</key-config>\n"
          "</hardware-keyboard>";
    writeMapping(file);
    {
        ConfigWidget w;
        symbols(w)->setText(longSymbols);
        closeWindow(w);
    }
    QCOMPARE(read(mappingPath()), file);
    ConfigWidget again;
    QCOMPARE(symbols(again)->text(), longSymbols);
}

QTEST_MAIN(ConfigWidgetTest)
#include "tst_configwidget.moc"
