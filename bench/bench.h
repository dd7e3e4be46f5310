#ifndef BENCH_H
#define BENCH_H

// What the benchmarks share. A measured process reports a line per figure: "<name> <value>...".
#include "app/configwidget.h"
#include "app/settingseditor.h"
#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"
#include "mapping/keymapfile.h"
#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"
#include "platform/qpeapplication.h"

#include <QtWidgets>

#include <cstdio>
#include <cstdlib>

// The monotonic clock in nanoseconds, comparable between processes.
inline long long monotonicNs()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
}

// This process's peak resident set (VmHWM) in kB.
inline long long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf("VmHWM:") + 6;
    return text.mid(at, text.indexOf('\n', at) - at).trimmed().split(' ')[0].toLongLong();
}

// The value below which the given share of the values lies: 0.5 the median, 1 the most.
inline double percentile(QList<double> values, double share = 0.5)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    if (share == 0.5 && n % 2 == 0)
        return (values[n / 2 - 1] + values[n / 2]) / 2;
    return values[std::min(n - 1, qsizetype(n * share))];
}

// A figure as a table shows it, "-" where nothing was measured.
inline QByteArray figure(const QList<double> &values, double share = 0.5, int decimals = 1,
                         double divisor = 1)
{
    return values.empty() ? QByteArray("-")
                          : QByteArray::number(percentile(values, share) / divisor, 'f', decimals);
}

// Prints a table: its title, its rows (columns as wide as their widest cell) and its targets.
inline void printTable(const QString &title, const QList<QByteArrayList> &rows,
                       const QByteArray &targets)
{
    QList<qsizetype> widths(10);
    for (const QByteArrayList &row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    std::printf("\n== %s ==\n", qPrintable(title));
    for (const QByteArrayList &row : rows) {
        QByteArray line = row.value(0).leftJustified(widths[0]);
        for (qsizetype i = 1; i < row.size(); ++i)
            line += "  " + row[i].rightJustified(widths[i]);
        std::printf("%s\n", line.constData());
    }
    if (!targets.isEmpty())
        std::printf("%s\n", targets.constData());
}

// Combination i: a letter, shifted if i is odd, a digit, and "text i & é" (escaped, not ASCII).
inline QList<XmlParser::KeyConfig> benchCombinations(int count, int first = 0)
{
    QList<XmlParser::KeyConfig> list;
    for (int i = first; i < first + count; ++i) {
        XmlParser::KeyConfig config;
        config.addKey(XmlParser::Key(0x41 + i % 26, i % 2 ? 0x08 : 0));
        config.addKey(XmlParser::Key(0x30 + i % 10, 0));
        config.setReplacement(QStringLiteral("text %1 & \u00e9").arg(i));
        list.append(config);
    }
    return list;
}

// Writes the key mapping file the editor reads with XDG_DATA_HOME=dataHome; its path.
inline QString writeMappingFile(const QString &dataHome, const QList<XmlParser::KeyConfig> &list)
{
    QString document = KeyMapFormat::documentStart();
    for (const XmlParser::KeyConfig &config : list) {
        document += KeyMapFormat::combinationStart();
        for (const XmlParser::Key &key : config.items())
            document += KeyMapFormat::keyLine(key.key(), key.state());
        document += KeyMapFormat::replacementLine(config.replacement());
        document += KeyMapFormat::combinationEnd();
    }
    QDir().mkpath(dataHome + QStringLiteral("/tavorin"));
    QFile file(dataHome + QStringLiteral("/tavorin/hardware-keyboard.xml"));
    if (!file.open(QIODevice::WriteOnly)
        || file.write(KeyMapFormat::encode(document + KeyMapFormat::documentEnd())) < 0)
        std::exit(1);
    return file.fileName();
}

// The widget of type T under parent with that accessible name or text.
template <typename T> T *findWidget(QWidget *parent, const QString &text)
{
    for (T *widget : parent->findChildren<T *>()) {
        if (widget->accessibleName() == text || widget->property("text").toString() == text)
            return widget;
    }
    return nullptr;
}

// Ends a window's paint passes itself, to know when they end, with steps before and after one.
// Given a start, after the first pass it reports "window <ms since start>" and "memory <peak
// kB>" and calls firstPaint, by default exit() (a close would save).
class PaintClock : public QObject
{
public:
    explicit PaintClock(QWidget *window, long long startNs = 0)
        : QObject(window)
        , startNs(startNs)
    {
        window->installEventFilter(this);
    }
    long long startNs, lastPaintEnd = 0;
    bool inside = false; // a paint pass of its own
    std::function<void()> firstPaint = [] { QCoreApplication::exit(0); };
    std::function<void()> beforePaint = [] {}, afterPaint = [] {};

    // Runs the event loop until nothing has been painted for 100 ms (at most 10 s).
    void settle() const
    {
        const long long start = monotonicNs();
        while (monotonicNs() - std::max(start, lastPaintEnd) < 100000000LL
               && monotonicNs() - start < 10000000000LL) {
            QCoreApplication::processEvents();
            QThread::usleep(200);
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && startNs > 0) {
            // A zero-millisecond timer runs once the whole window is painted and flushed.
            QTimer::singleShot(0, this, [this, start = std::exchange(startNs, 0)] {
                std::printf("window %.3f\nmemory %lld\n", (monotonicNs() - start) / 1e6, peakKb());
                std::fflush(stdout);
                firstPaint();
            });
        }
        if (event->type() != QEvent::UpdateRequest || inside)
            return false;
        inside = true;
        beforePaint();
        QCoreApplication::sendEvent(watched, event); // paints and flushes
        lastPaintEnd = monotonicNs();
        afterPaint();
        inside = false;
        return true;
    }
};

// Figures by name, those of the earlier build as "before <name>".
using Figures = QMap<QByteArray, QList<double>>;

// Runs command, its start time as a last argument, and adds its report and end time ("end")
// to figures, names after prefix; a missing program (no earlier build) adds nothing.
inline void run(Figures &figures, const QByteArray &prefix, QStringList command)
{
    if (!QFileInfo(command[0]).isExecutable())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(command.takeFirst(), command << QString::number(monotonicNs()));
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning() << process.program() << command << "failed";
        return;
    }
    figures[prefix + "end"].push_back(double(monotonicNs()));
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        for (qsizetype i = 1; i < fields.size(); ++i)
            figures[prefix + fields[0]].push_back(fields[i].toDouble());
    }
}

#endif // BENCH_H
