// Key mapping files of 50 MB: read to the end, or as far as they are sound, with the
// memory in proportion to the file and without a crash; the window neither loads nor
// replaces them.
// Times are printed for comparison only; what is checked is what was read.
#include "app/configwidget.h"
#include "editor/keyconfig.h"
#include "mapping/keymapfile.h"
#include "mapping/xmlparser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>

namespace {

constexpr qint64 fileSize = 50 * 1024 * 1024;

enum Shape {
    ManyCombinations, // combinations one after the other until the file is full
    LargeAttribute, // one combination whose replacement text fills the file
    Padding, // 1,000 combinations with long runs of white space between the elements
    CutOff, // many combinations, ending in the middle of a key element
    InvalidByte, // many combinations, then a byte that is not UTF-8 in a text
};

// What the reader must make of a file, counted while it is written.
struct Outcome
{
    int combinations = 0;
    int lastKeys = 0;
    qsizetype lastTextSize = 0;
    QString lastTextStart; // the first characters of the last combination's text
    bool complete = true;
};

QByteArray combination(int i)
{
    return QByteArrayLiteral("\t<key-config>\n\t\t<key keycode=\"")
        + QByteArray::number(0x41 + i % 26)
        + QByteArrayLiteral("\" state=\"8\"/>\n\t\t<key keycode=\"4100\" state=\"0\"/>\n"
                            "\t\t<replacement text=\"t")
        + QByteArray::number(i) + QByteArrayLiteral(" &amp; \xc3\xa9\"/>\n\t</key-config>\n");
}

// Writes combinations until `limit` bytes are reached, in large blocks.
void writeCombinations(QFile &file, qint64 limit, Outcome *outcome)
{
    QByteArray block;
    while (file.size() + block.size() < limit) {
        block += combination(outcome->combinations);
        ++outcome->combinations;
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    outcome->lastKeys = 2;
    outcome->lastTextStart = QStringLiteral("t%1 & \u00e9").arg(outcome->combinations - 1);
    outcome->lastTextSize = outcome->lastTextStart.size();
}

Outcome writeFile(const QString &path, Shape shape)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    Outcome outcome;
    file.write("<hardware-keyboard>\n");
    switch (shape) {
    case ManyCombinations:
        writeCombinations(file, fileSize, &outcome);
        break;
    case LargeAttribute: {
        // Each unit is eight characters: ASCII, a two-byte and a three-byte character,
        // and an escaped ampersand.
        const QByteArray unit = QByteArrayLiteral("ab\xc3\xa9\xe2\x82\xac&amp;cd ");
        const qint64 units = fileSize / unit.size();
        file.write(
            "\t<key-config>\n\t\t<key keycode=\"81\" state=\"0\"/>\n\t\t<replacement text=\"");
        const QByteArray block = unit.repeated(1 << 16);
        for (qint64 written = 0; written < units; written += 1 << 16)
            file.write(block.constData(), qMin<qint64>(1 << 16, units - written) * unit.size());
        file.write("\"/>\n\t</key-config>\n");
        outcome.combinations = 1;
        outcome.lastKeys = 1;
        outcome.lastTextSize = units * 8;
        outcome.lastTextStart = QStringLiteral("ab\u00e9\u20ac&cd ab");
        break;
    }
    case Padding: {
        const QByteArray blanks = QByteArray(fileSize / 2000, ' ') + '\n';
        for (int i = 0; i < 1000; ++i) {
            file.write(blanks);
            file.write(combination(i));
            file.write(blanks);
        }
        outcome.combinations = 1000;
        outcome.lastKeys = 2;
        outcome.lastTextStart = QStringLiteral("t999 & \u00e9");
        outcome.lastTextSize = outcome.lastTextStart.size();
        break;
    }
    case CutOff:
        writeCombinations(file, fileSize, &outcome);
        // The start tag of the key is not complete: the combination is read, its key not.
        file.write("\t<key-config>\n\t\t<key keycode=\"8");
        ++outcome.combinations;
        outcome.lastKeys = 0;
        outcome.lastTextStart.clear();
        outcome.lastTextSize = 0;
        outcome.complete = false;
        file.close();
        return outcome;
    case InvalidByte:
        writeCombinations(file, fileSize, &outcome);
        // Reading stops at the byte: the element holding it is not read.
        file.write("\t<key-config>\n\t\t<key keycode=\"81\" state=\"0\"/>\n"
                   "\t\t<replacement text=\"x\xff\"/>\n\t</key-config>\n");
        ++outcome.combinations;
        outcome.lastKeys = 1;
        outcome.lastTextStart.clear();
        outcome.lastTextSize = 0;
        outcome.complete = false;
        break;
    }
    file.write("</hardware-keyboard>");
    return outcome;
}

// Resident memory of this process in kB: now, and at its peak since resetPeak().
qint64 statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Also hands memory freed by earlier rows back to the system, so that the growth measured
// from here is this row's own.
bool resetPeak()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace

class LargeFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reader_data();
    void reader();
    void window_data();
    void window();
};

void LargeFileTest::reader_data()
{
    QTest::addColumn<int>("shape");

    QTest::newRow("many combinations") << int(ManyCombinations);
    QTest::newRow("one large attribute") << int(LargeAttribute);
    QTest::newRow("white space between elements") << int(Padding);
    QTest::newRow("cut off in a key element") << int(CutOff);
    QTest::newRow("byte that is not UTF-8 at the end") << int(InvalidByte);
}

void LargeFileTest::reader()
{
    QFETCH(int, shape);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("hardware-keyboard.xml"));
    const Outcome expected = writeFile(path, Shape(shape));
    QVERIFY(QFileInfo(path).size() >= fileSize);

    const bool peakKnown = resetPeak();
    const qint64 before = statusField("VmRSS");
    QElapsedTimer timer;
    timer.start();
    XmlParser parser;
    const std::unique_ptr<XmlParser::Keyboard> keyboard = parser.parse(path);
    const qint64 elapsed = timer.elapsed();
    const qint64 peak = statusField("VmHWM");

    QVERIFY(keyboard);
    QCOMPARE(parser.isComplete(), expected.complete);
    const QList<XmlParser::KeyConfig> &configs = keyboard->items();
    QCOMPARE(configs.size(), expected.combinations);
    const XmlParser::KeyConfig &last = configs.last();
    QCOMPARE(last.items().size(), expected.lastKeys);
    QCOMPARE(last.replacement().size(), expected.lastTextSize);
    QVERIFY(last.replacement().startsWith(expected.lastTextStart));
    if (expected.combinations > 1) {
        QCOMPARE(configs.first().replacement(), QStringLiteral("t0 & \u00e9"));
        QCOMPARE(configs.first().items().first().key(), 0x41);
        QCOMPARE(configs.first().items().first().state(), 8);
    }

    // The model and the reader's buffers together stay within a small multiple of the
    // file: a text of 50 MB is held as UTF-16 (twice the bytes) at most a few times over.
    if (peakKnown && before > 0 && peak > 0) {
        const qint64 growthMb = (peak - before) / 1024;
        qInfo("parsed %lld MB in %lld ms, peak memory +%lld MB", QFileInfo(path).size() >> 20,
              elapsed, growthMb);
        QVERIFY2(growthMb < 10 * (fileSize >> 20), qPrintable(QString::number(growthMb)));
    }
}

void LargeFileTest::window_data()
{
    QTest::addColumn<int>("shape");

    // Beyond the largest file the editor edits, whatever it holds.
    QTest::newRow("one large attribute") << int(LargeAttribute);
    QTest::newRow("white space between elements") << int(Padding);
}

void LargeFileTest::window()
{
    QFETCH(int, shape);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    const QString path = dir.filePath(QStringLiteral("tavorin/hardware-keyboard.xml"));
    writeFile(path, Shape(shape));
    const QFileInfo before(path);
    QVERIFY(before.size() > KeyMapFile::maxFileSize);

    // Neither loaded nor replaced: no editor is built, and closing leaves the file as it is.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("too large to edit")));
    {
        ConfigWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        QVERIFY(window.findChildren<KeyConfig *>().isEmpty());
        QVERIFY(window.close());
    }
    const QFileInfo after(path);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.lastModified(), before.lastModified());
    QVERIFY(!QFile::exists(KeyMapFile::backupPath(path)));
    qputenv("XDG_DATA_HOME", dataHome);
}

QTEST_MAIN(LargeFileTest)
#include "tst_largefile.moc"
