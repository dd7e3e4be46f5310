#ifndef BENCH_H
#define BENCH_H

// What the benchmark programs share: the clock, the peak memory, the sample combinations,
// the paint passes of a window, the runs of a measured process of this build and of an
// earlier one, and the tables. A measured process reports one line per figure,
// "<name> <value> ...", on its standard output.
#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <utility>
#include <vector>

// The monotonic clock in nanoseconds, comparable between processes.
inline long long monotonicNs()
{
    return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count();
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
inline double percentile(std::vector<double> values, double share = 0.5)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    if (share == 0.5 && n % 2 == 0)
        return (values[n / 2 - 1] + values[n / 2]) / 2;
    return values[std::min(n - 1, size_t(n * share))];
}

// A figure as a table shows it, "-" where nothing was measured.
inline QByteArray figure(const std::vector<double> &values, double share = 0.5, int decimals = 1,
                         double divisor = 1)
{
    return values.empty() ? QByteArray("-")
                          : QByteArray::number(percentile(values, share) / divisor, 'f', decimals);
}

// Prints a table: its title, its rows (the first cell aligned left, the others right, each
// column as wide as its widest cell) and the line of its targets.
inline void printTable(FILE *out, const QByteArray &title, const QList<QByteArrayList> &rows,
                       const QByteArray &targets)
{
    std::vector<qsizetype> widths(10);
    for (const QByteArrayList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    std::fprintf(out, "\n== %s ==\n", title.constData());
    for (const QByteArrayList &row : rows) {
        QByteArray line = row.value(0).leftJustified(widths[0]);
        for (qsizetype i = 1; i < row.size(); ++i)
            line += "  " + row[i].rightJustified(widths[i]);
        std::fprintf(out, "%s\n", line.constData());
    }
    if (!targets.isEmpty())
        std::fprintf(out, "%s\n", targets.constData());
}

// Combination i: a letter (with shift on every other one) and a digit, and the text
// "text i & é", which needs escaping and is not ASCII.
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

// The key mapping file of those combinations, where the editor reads it with
// XDG_DATA_HOME=dataHome.
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

// Ends each paint pass of a window itself, so that the time it ended is known, with the
// steps to take before and after one. Given a start, once the first paint pass is over (a
// zero-millisecond timer runs only after the whole widget tree is painted and flushed) it
// reports "window <ms since startNs>" and "memory <peak kB>" and takes the step firstPaint,
// by default exit(): quit() would close the window, and the editor's close saves.
class PaintClock : public QObject
{
public:
    explicit PaintClock(QWidget *window, long long startNs = 0)
        : QObject(window)
        , m_startNs(startNs)
    {
        window->installEventFilter(this);
    }
    long long lastPaintEnd = 0;
    std::function<void()> firstPaint = [] { QCoreApplication::exit(0); }, beforePaint, afterPaint;

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
        if (event->type() == QEvent::Paint && m_startNs > 0) {
            QTimer::singleShot(0, this, [this, start = std::exchange(m_startNs, 0)] {
                std::printf("window %.3f\nmemory %lld\n", (monotonicNs() - start) / 1e6, peakKb());
                std::fflush(stdout);
                firstPaint();
            });
        }
        if (event->type() != QEvent::UpdateRequest || m_inside)
            return false;
        m_inside = true;
        if (beforePaint)
            beforePaint();
        QCoreApplication::sendEvent(watched, event); // paints and flushes
        lastPaintEnd = monotonicNs();
        if (afterPaint)
            afterPaint();
        m_inside = false;
        return true;
    }

private:
    long long m_startNs;
    bool m_inside = false;
};

// Figures by name, those of the earlier build as "before <name>".
using Figures = std::map<QByteArray, std::vector<double>>;

// Runs a measured program to its end, its start time as its last argument, and adds its
// report to figures, each name after the prefix, and the time of its end as "end". A
// program that is not there (an earlier build not asked for, or not built) adds nothing; a
// run that fails or takes longer than timeoutMs says so and adds nothing.
inline void run(Figures &figures, const QByteArray &prefix, const QString &program,
                QStringList arguments, int timeoutMs = 600000)
{
    if (!QFileInfo(program).isExecutable())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments << QString::number(monotonicNs()));
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        std::fprintf(stderr, "%s %s failed\n", qPrintable(program),
                     qPrintable(arguments.join(' ')));
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
