#include "mapping/keymapfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// Replacing the key mapping file: all or nothing, whatever goes wrong on the way.
class KeyMapFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void writesNewFile();
    void modesAreKept_data();
    void modesAreKept();
    void writeCutShortKeepsOldFile_data();
    void writeCutShortKeepsOldFile();
    void targetThatCannotBeReplaced();
    void backupCopiesCurrentContent();
    void backupsMoveUp_data();
    void backupsMoveUp();
    void backupOfUnreadableFileFails_data();
    void backupOfUnreadableFileFails();
    void fingerprintIsTheBytes_data();
    void fingerprintIsTheBytes();
    void sizeDiffersFromWhatIsRead();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("hardware-keyboard.xml")); }
    static QByteArray content(const QString &file);
    static void put(const QString &file, const QByteArray &bytes);
    QStringList entries() const
    {
        return QDir(m_dir->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QByteArray KeyMapFileTest::content(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void KeyMapFileTest::put(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

void KeyMapFileTest::initTestCase()
{
    // Writes beyond a file-size limit must fail with an error, not end the test.
    std::signal(SIGXFSZ, SIG_IGN);
}

void KeyMapFileTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void KeyMapFileTest::writesNewFile()
{
    const QByteArray doc("<hardware-keyboard>\n</hardware-keyboard>");
    QString error;
    QVERIFY2(KeyMapFile::write(path(), doc, &error), qPrintable(error));
    QCOMPARE(content(path()), doc);
    QCOMPARE(entries(),
             QStringList{ QStringLiteral("hardware-keyboard.xml") }); // no temporary left
}

void KeyMapFileTest::modesAreKept_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<int>("owner"); // -1: the file stays the user's own
    QTest::newRow("600") << 0600 << true << -1;
    QTest::newRow("640") << 0640 << true << -1;
    QTest::newRow("604") << 0604 << true << -1;
    // Without any write permission the file stays as it is, for the superuser too.
    QTest::newRow("444") << 0444 << false << -1;
    QTest::newRow("400") << 0400 << false << -1;
    // Run as root, the file and its copy stay the user's (nobody's here), group too.
    QTest::newRow("another user's, as root") << 0640 << true << 65534;
}

void KeyMapFileTest::modesAreKept()
{
    QFETCH(int, mode);
    QFETCH(bool, replaced);
    QFETCH(int, owner);
    if (owner >= 0 && geteuid() != 0)
        QSKIP("only root can give a file to another user");
    const QByteArray old("old content that is longer than the new one");
    put(path(), old);
    QCOMPARE(chmod(QFile::encodeName(path()).constData(), mode_t(mode)), 0);
    if (owner >= 0)
        QCOMPARE(chown(QFile::encodeName(path()).constData(), uid_t(owner), gid_t(owner)), 0);
    // An older copy that anyone may read: the new copy takes the original's mode.
    const QString backup = KeyMapFile::backupPath(path());
    put(backup, "an older backup");
    QCOMPARE(chmod(QFile::encodeName(backup).constData(), 0666), 0);

    QVERIFY(KeyMapFile::keepBackup(path()));
    QString error;
    QCOMPARE(KeyMapFile::write(path(), "new", &error), replaced);

    QCOMPARE(content(backup), old);
    QCOMPARE(content(path()), replaced ? QByteArray("new") : old);
    QCOMPARE(error.isEmpty(), replaced);
    struct stat st;
    QCOMPARE(stat(QFile::encodeName(backup).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
    const uid_t expected = owner >= 0 ? uid_t(owner) : geteuid();
    QCOMPARE(st.st_uid, expected);
    QCOMPARE(stat(QFile::encodeName(path()).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
    QCOMPARE(st.st_uid, expected);
    QCOMPARE(st.st_gid, owner >= 0 ? gid_t(owner) : st.st_gid);
}

void KeyMapFileTest::writeCutShortKeepsOldFile_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("limit");
    // A small document stays in the write buffer and fails only when flushed.
    QTest::newRow("fails while flushed") << 3000 << 1024;
    QTest::newRow("fails while written") << 200000 << 65536;
}

void KeyMapFileTest::writeCutShortKeepsOldFile()
{
    QFETCH(int, size);
    QFETCH(int, limit);
    const QByteArray old("<hardware-keyboard>\n</hardware-keyboard>");
    put(path(), old);

    rlimit saved = {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = rlim_t(limit);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = KeyMapFile::write(path(), QByteArray(size, 'x'), &error);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);

    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(content(path()), old);
    QCOMPARE(entries(), QStringList{ QStringLiteral("hardware-keyboard.xml") });
}

void KeyMapFileTest::targetThatCannotBeReplaced()
{
    // A folder where the file should be: nothing can be put in its place, even by root.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("hardware-keyboard.xml")));
    QString error;
    QVERIFY(!KeyMapFile::write(path(), "new", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(path()).isDir());
    QCOMPARE(entries(), QStringList{ QStringLiteral("hardware-keyboard.xml") });
}

void KeyMapFileTest::backupCopiesCurrentContent()
{
    const QByteArray broken("<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode=\"81\" st\xff");
    put(path(), broken);
    put(KeyMapFile::backupPath(path()), "an older backup");
    QVERIFY(KeyMapFile::keepBackup(path()));
    QCOMPARE(KeyMapFile::backupPath(path()), path() + QStringLiteral(".bak"));
    QCOMPARE(content(KeyMapFile::backupPath(path())), broken);
    QCOMPARE(content(path()), broken);
}

void KeyMapFileTest::backupsMoveUp_data()
{
    QTest::addColumn<QByteArrayList>("saved"); // the file's content at each backup, in turn
    QTest::addColumn<QByteArrayList>("kept"); // .bak, .bak.1, ... afterwards
    QTest::addColumn<bool>("danglingLink"); // .bak is one at first
    QTest::newRow("identical to the newest: not stored again")
        << QByteArrayList{ "a", "a" } << QByteArrayList{ "a" } << false;
    QTest::newRow("an older one moves up")
        << QByteArrayList{ "a", "b", "b" } << QByteArrayList{ "b", "a" } << false;
    QTest::newRow("seven different: six, newest first")
        << QByteArrayList{ "1", "2", "3", "4", "5", "6", "7" }
        << QByteArrayList{ "7", "6", "5", "4", "3", "2" } << false;
    // Its target is not written: the link moves up to .bak.1 (not listed, it is broken).
    QTest::newRow("a dangling link") << QByteArrayList{ "a" } << QByteArrayList{ "a" } << true;
}

void KeyMapFileTest::backupsMoveUp()
{
    QFETCH(QByteArrayList, saved);
    QFETCH(QByteArrayList, kept);
    QFETCH(bool, danglingLink);
    const QString target = m_dir->filePath(QStringLiteral("elsewhere"));
    if (danglingLink)
        QVERIFY(QFile::link(target, KeyMapFile::backupPath(path())));
    for (const QByteArray &bytes : saved) {
        // Read-only, as are then its copies: they move up all the same.
        QFile::remove(path());
        put(path(), bytes);
        QCOMPARE(chmod(QFile::encodeName(path()).constData(), 0444), 0);
        QString error;
        QVERIFY2(KeyMapFile::keepBackup(path(), &error), qPrintable(error));
    }
    QStringList names{ QStringLiteral("hardware-keyboard.xml") };
    for (int i = 0; i < kept.size(); ++i) {
        names << QStringLiteral("hardware-keyboard.xml.bak")
                + (i ? QStringLiteral(".%1").arg(i) : QString());
        QCOMPARE(content(m_dir->filePath(names.last())), kept.at(i));
    }
    QCOMPARE(entries(), names);
    QVERIFY(!QFile::exists(target));
}

void KeyMapFileTest::backupOfUnreadableFileFails_data()
{
    QTest::addColumn<QString>("folder"); // made a folder
    QTest::addColumn<qint64>("size"); // of the file, when it is not the folder
    QTest::newRow("the file is a folder") << "hardware-keyboard.xml" << qint64(0);
    QTest::newRow("one byte over the bound") << "" << KeyMapFile::maxFileSize + 1;
    QTest::newRow("a folder among the older copies") << "hardware-keyboard.xml.bak.3" << qint64(1);
}

void KeyMapFileTest::backupOfUnreadableFileFails()
{
    QFETCH(QString, folder);
    QFETCH(qint64, size);
    if (!folder.isEmpty())
        QVERIFY(QDir(m_dir->path()).mkdir(folder));
    if (size > 0) {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        put(KeyMapFile::backupPath(path()), "an older backup");
    }
    const QStringList before = entries();
    QString error;
    QVERIFY(!KeyMapFile::keepBackup(path(), &error));
    QVERIFY(!error.isEmpty());
    // Nothing copied and nothing moved.
    QCOMPARE(entries(), before);
}

void KeyMapFileTest::fingerprintIsTheBytes_data()
{
    QTest::addColumn<QByteArray>("later");
    QTest::addColumn<bool>("same");
    QTest::newRow("touched") << QByteArray("<hardware-keyboard/>") << true;
    QTest::newRow("other bytes, same size and time") << QByteArray("<hardware-keyboarD/>") << false;
}

void KeyMapFileTest::fingerprintIsTheBytes()
{
    QFETCH(QByteArray, later);
    QFETCH(bool, same);
    put(path(), "<hardware-keyboard/>");
    const KeyMapFile::Contents first = KeyMapFile::read(path());
    QVERIFY(!first.fingerprint.isEmpty());
    // Written anew an hour later, then given back the first time where bytes differ.
    QFile file(path());
    const QDateTime time = QFileInfo(file).lastModified();
    put(path(), later);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(same ? time.addSecs(3600) : time, QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(KeyMapFile::read(path()).fingerprint == first.fingerprint, same);
}

void KeyMapFileTest::sizeDiffersFromWhatIsRead()
{
    // A regular file whose size says 0 and which reads as more, every time: as a file
    // that grows between its size being taken and its read.
    const KeyMapFile::Contents contents = KeyMapFile::read(QStringLiteral("/proc/self/status"));
    QCOMPARE(contents.status, KeyMapFile::Status::Read);
    QVERIFY(contents.bytes.size() > 1);
    QVERIFY(contents.changedWhileRead);
    QVERIFY(contents.fingerprint.isEmpty());
}

QTEST_GUILESS_MAIN(KeyMapFileTest)
#include "tst_keymapfile.moc"
