#include "mapping/keymapfile.h"

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
    void writesNewFile_data();
    void writesNewFile();
    void modesAreKept_data();
    void modesAreKept();
    void writeCutShortKeepsOldFile_data();
    void writeCutShortKeepsOldFile();
    void targetThatCannotBeReplaced();
    void backupCopiesCurrentContent_data();
    void backupCopiesCurrentContent();
    void backupsMoveUp_data();
    void backupsMoveUp();
    void backupOfUnreadableFileFails_data();
    void backupOfUnreadableFileFails();
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

void KeyMapFileTest::writesNewFile_data()
{
    QTest::addColumn<QString>("linkTo"); // a link at the name, to this file beside it
    QTest::newRow("nothing at the name") << QString();
    QTest::newRow("a link to another file: replaced, never written through") << "other";
    QTest::newRow("a dangling link: nothing made at its target") << "nowhere";
}

void KeyMapFileTest::writesNewFile()
{
    QFETCH(QString, linkTo);
    QStringList names{ QStringLiteral("hardware-keyboard.xml") };
    if (linkTo == QLatin1String("other")) {
        put(m_dir->filePath(linkTo), "not ours");
        names.append(linkTo);
    }
    QVERIFY(linkTo.isEmpty() || QFile::link(m_dir->filePath(linkTo), path()));
    // Run as root in another user's folder, what is made there is that user's.
    const QByteArray folder = QFile::encodeName(m_dir->path());
    const bool root = geteuid() == 0;
    QVERIFY(!root || chown(folder.constData(), 65534, 65534) == 0);
    QVERIFY(!root || linkTo.isEmpty()
            || lchown(QFile::encodeName(path()).constData(), 65534, 65534) == 0);
    const QByteArray doc("<hardware-keyboard>\n</hardware-keyboard>");
    QString error;
    QVERIFY2(KeyMapFile::write(path(), doc, &error), qPrintable(error));
    QCOMPARE(content(path()), doc);
    QVERIFY(!QFileInfo(path()).isSymLink());
    QCOMPARE(entries(), names); // no temporary left, nothing made at a link's target
    if (names.size() > 1)
        QCOMPARE(content(m_dir->filePath(linkTo)), QByteArray("not ours"));
    struct stat st;
    QCOMPARE(stat(QFile::encodeName(path()).constData(), &st), 0);
    QCOMPARE(st.st_uid, root ? uid_t(65534) : geteuid());
}

void KeyMapFileTest::modesAreKept_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("600") << 0600 << true;
    QTest::newRow("640") << 0640 << true;
    QTest::newRow("604") << 0604 << true;
    // Without any write permission the file stays as it is, for the superuser too.
    QTest::newRow("444") << 0444 << false;
    QTest::newRow("400") << 0400 << false;
}

void KeyMapFileTest::modesAreKept()
{
    QFETCH(int, mode);
    QFETCH(bool, replaced);
    const QByteArray old("old content that is longer than the new one");
    put(path(), old);
    QCOMPARE(chmod(QFile::encodeName(path()).constData(), mode_t(mode)), 0);
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
    QCOMPARE(stat(QFile::encodeName(path()).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
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

void KeyMapFileTest::backupCopiesCurrentContent_data()
{
    QTest::addColumn<bool>("linkToFile");
    QTest::newRow("an older backup moves up") << false;
    // It reads the same as the file, but is no copy of it.
    QTest::newRow("a link to the file itself is no copy") << true;
}

void KeyMapFileTest::backupCopiesCurrentContent()
{
    QFETCH(bool, linkToFile);
    const QByteArray broken("<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode=\"81\" st\xff");
    put(path(), broken);
    if (linkToFile)
        QVERIFY(QFile::link(path(), KeyMapFile::backupPath(path())));
    else
        put(KeyMapFile::backupPath(path()), "an older backup");
    QVERIFY(KeyMapFile::keepBackup(path()));
    QCOMPARE(KeyMapFile::backupPath(path()), path() + QStringLiteral(".bak"));
    QCOMPARE(content(KeyMapFile::backupPath(path())), broken);
    QVERIFY(!QFileInfo(KeyMapFile::backupPath(path())).isSymLink());
    QCOMPARE(content(path()), broken);
}

void KeyMapFileTest::backupsMoveUp_data()
{
    QTest::addColumn<QByteArray>("saved"); // the file's content at each backup, in turn
    QTest::addColumn<QByteArray>("kept"); // in .bak, .bak.1, ... afterwards
    QTest::newRow("identical to the newest: not stored again")
        << QByteArray("aa") << QByteArray("a");
    QTest::newRow("an older one moves up") << QByteArray("abb") << QByteArray("ba");
    QTest::newRow("seven different: six, newest first")
        << QByteArray("1234567") << QByteArray("765432");
}

void KeyMapFileTest::backupsMoveUp()
{
    QFETCH(QByteArray, saved);
    QFETCH(QByteArray, kept);
    // A dangling link at the newest's name moves up too (a broken link is not listed),
    // and its target is never written.
    const QString target = m_dir->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QFile::link(target, KeyMapFile::backupPath(path())));
    QStringList names{ QStringLiteral("hardware-keyboard.xml") };
    for (const char byte : saved) {
        // Read-only, as are then its copies: they move up all the same.
        QFile::remove(path());
        put(path(), QByteArray(1, byte));
        QCOMPARE(chmod(QFile::encodeName(path()).constData(), 0444), 0);
        QVERIFY(KeyMapFile::keepBackup(path()));
    }
    for (int i = 0; i < kept.size(); ++i) {
        names << KeyMapFile::backupPath(names.first()) + (i ? QStringLiteral(".%1").arg(i) : "");
        QCOMPARE(content(m_dir->filePath(names.last())), kept.mid(i, 1));
    }
    QCOMPARE(entries(), names);
    QVERIFY(!QFile::exists(target));
}

void KeyMapFileTest::backupOfUnreadableFileFails_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<qint64>("size"); // of the file, with an older backup beside it
    QTest::newRow("the file is a folder") << "hardware-keyboard.xml" << qint64(0);
    QTest::newRow("one byte over the bound") << "" << KeyMapFile::maxFileSize + 1;
    QTest::newRow("a folder among the older copies") << "hardware-keyboard.xml.bak.3" << qint64(1);
}

void KeyMapFileTest::backupOfUnreadableFileFails()
{
    QFETCH(QString, folder);
    QFETCH(qint64, size);
    QVERIFY(folder.isEmpty() || QDir(m_dir->path()).mkdir(folder));
    if (size > 0) {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        put(KeyMapFile::backupPath(path()), "an older backup");
    }
    const QStringList before = entries();
    QString error;
    QVERIFY(!KeyMapFile::keepBackup(path(), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(entries(), before); // nothing copied, nothing moved
}

// A regular file whose size says 0 and which reads as more, every time: as one that
// grows between its size being taken and its read.
void KeyMapFileTest::sizeDiffersFromWhatIsRead()
{
    const KeyMapFile::Contents contents = KeyMapFile::read(QStringLiteral("/proc/self/status"));
    QCOMPARE(contents.status, KeyMapFile::Status::BytesRead);
    QVERIFY(contents.bytes.size() > 1 && contents.changedWhileRead);
    QVERIFY(contents.fingerprint.isEmpty());
}

QTEST_GUILESS_MAIN(KeyMapFileTest)
#include "tst_keymapfile.moc"
