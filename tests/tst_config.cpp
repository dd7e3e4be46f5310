#include "platform/config.h"
#include "platform/global.h"
#include "storefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The settings store: defaults, typed reads and the moment the values are committed.
class ConfigTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void absentKeysGiveDefaults();
    void numbers_data();
    void numbers();
    void writesReachTheFileOnlyOnRelease();
    void commitFailsOnlyWhenTheFileWasNotWritten_data();
    void commitFailsOnlyWhenTheFileWasNotWritten();
    void groupsAreSeparate();
    void applicationFileNameIsStableAndCreatesFolder();
};

void ConfigTest::init()
{
    QFile::remove(storePath());
}

void ConfigTest::absentKeysGiveDefaults()
{
    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("Tavorin"));
    QCOMPARE(config.readEntry(QStringLiteral("symbols"), QStringLiteral("\\")),
             QStringLiteral("\\"));
    QCOMPARE(config.readNumEntry(QStringLiteral("fontSize"), 12), 12);
    QCOMPARE(config.fileName(), storePath());
}

void ConfigTest::numbers_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << QByteArray("42") << 42;
    QTest::newRow("negative") << QByteArray("-7") << -7;
    QTest::newRow("blanks around") << QByteArray("\" 30 \"") << 30;
    QTest::newRow("letters") << QByteArray("abc") << 99;
    QTest::newRow("number then letters") << QByteArray("12px") << 99;
    QTest::newRow("empty") << QByteArray("") << 99;
    QTest::newRow("too large") << QByteArray("99999999999") << 99;
    QTest::newRow("fraction") << QByteArray("1.5") << 99;
}

void ConfigTest::numbers()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    writeStore("[Tavorin]\nfontSize=" + stored + "\n");
    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("Tavorin"));
    QCOMPARE(config.readNumEntry(QStringLiteral("fontSize"), 99), expected);
}

void ConfigTest::writesReachTheFileOnlyOnRelease()
{
    {
        Config config(QStringLiteral("Tavorin"), Config::User);
        config.setGroup(QStringLiteral("Tavorin"));
        config.writeEntry(QStringLiteral("symbols"), QStringLiteral("a\\b;c=d"));
        config.writeEntry(QStringLiteral("delay"), 300);
        // The handle sees its own writes ...
        QCOMPARE(config.readNumEntry(QStringLiteral("delay"), 0), 300);
        // ... but nothing is on disk yet, even after the event loop had a chance to run.
        QCoreApplication::processEvents();
        QVERIFY(!QFile::exists(storePath()));
    }
    QVERIFY(QFile::exists(storePath()));
    Config again(QStringLiteral("Tavorin"), Config::User);
    again.setGroup(QStringLiteral("Tavorin"));
    QCOMPARE(again.readEntry(QStringLiteral("symbols")), QStringLiteral("a\\b;c=d"));
    QCOMPARE(again.readNumEntry(QStringLiteral("delay"), 0), 300);
}

void ConfigTest::commitFailsOnlyWhenTheFileWasNotWritten_data()
{
    QTest::addColumn<QByteArray>("old"); // the file before; null for a folder in its place
    QTest::addColumn<rlim_t>("sizeLimit"); // what a file may grow to, in bytes
    QTest::addColumn<bool>("written");
    const QByteArray unclosed("[Tavorin\nfontSize=3\n");
    QTest::newRow("byte-order mark")
        << QByteArray("\xef\xbb\xbf[Tavorin]\nfontSize=3\n") << RLIM_INFINITY << true;
    QTest::newRow("comment lines")
        << QByteArray("# by hand\n[Tavorin]\n# size\nfontSize=3\n") << RLIM_INFINITY << true;
    QTest::newRow("section without ']'") << unclosed << RLIM_INFINITY << true;
    // Reading the old file gives a format error, which then stands for the failed write.
    QTest::newRow("section without ']', write cut short") << unclosed << rlim_t(8) << false;
    QTest::newRow("a folder in its place") << QByteArray() << RLIM_INFINITY << false;
}

void ConfigTest::commitFailsOnlyWhenTheFileWasNotWritten()
{
    QFETCH(QByteArray, old);
    QFETCH(rlim_t, sizeLimit);
    QFETCH(bool, written);
    QDir(storePath()).removeRecursively();
    if (old.isNull())
        QVERIFY(QDir().mkpath(storePath()));
    else
        writeStore(old);
    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("Tavorin"));
    config.writeEntry(QStringLiteral("fontSize"), 30);

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit limited{ std::min(sizeLimit, saved.rlim_cur), saved.rlim_max };
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool committed = config.commit();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(committed, written);
    QCOMPARE(config.errorString().isEmpty(), written);
    QCOMPARE(readAll(storePath()), written ? QByteArray("[Tavorin]\nfontSize=30\n") : old);
    QDir(storePath()).removeRecursively();
}

void ConfigTest::groupsAreSeparate()
{
    {
        Config config(QStringLiteral("Tavorin"), Config::User);
        config.setGroup(QStringLiteral("One"));
        config.writeEntry(QStringLiteral("key"), 1);
        config.setGroup(QStringLiteral("Two"));
        config.writeEntry(QStringLiteral("key"), 2);
    }
    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("One"));
    QCOMPARE(config.readNumEntry(QStringLiteral("key"), 0), 1);
    config.setGroup(QStringLiteral("Two"));
    QCOMPARE(config.readNumEntry(QStringLiteral("key"), 0), 2);
    config.setGroup(QStringLiteral("Three"));
    QCOMPARE(config.readNumEntry(QStringLiteral("key"), 0), 0);
}

void ConfigTest::applicationFileNameIsStableAndCreatesFolder()
{
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir(dataDir + QStringLiteral("/tavorin")).removeRecursively();
    // Run as root, a folder made in another user's folder is that user's.
    const bool root = geteuid() == 0;
    QVERIFY(QDir().mkpath(dataDir));
    QVERIFY(!root || chown(QFile::encodeName(dataDir).constData(), 65534, 65534) == 0);
    const QString path = Global::applicationFileName(QStringLiteral("tavorin"),
                                                     QStringLiteral("hardware-keyboard.xml"));
    QCOMPARE(path, dataDir + QStringLiteral("/tavorin/hardware-keyboard.xml"));
    QVERIFY(QFileInfo(dataDir + QStringLiteral("/tavorin")).isDir());
    QCOMPARE(QFileInfo(dataDir + QStringLiteral("/tavorin")).ownerId(), root ? 65534 : geteuid());
    QVERIFY(!root || chown(QFile::encodeName(dataDir).constData(), 0, 0) == 0);
    QCOMPARE(Global::applicationFileName(QStringLiteral("tavorin"),
                                         QStringLiteral("hardware-keyboard.xml")),
             path);
}

QTEST_GUILESS_MAIN(ConfigTest)
#include "tst_config.moc"
