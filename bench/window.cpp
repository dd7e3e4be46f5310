// How fast does the editor's window open, and what does it hold in memory, at 0, 20, 200
// and 1,000 combinations next to the bare Qt program of floor.cpp; how long does the
// Physical Keyboard tab take right after the first paint; what do 20,000 combinations,
// every one in the list, cost in memory and at the close?
//
// "bench_window ROUNDS [LATER-TABLES-FILE [EARLIER-BUILD-OF-BENCH_WINDOW]]" runs the programs
// interleaved (floor, 0, 20, 200, 1000, floor, ...), each timed from just before its start
// until it reports its first paint done, and prints tables 1 and 1b; the memory tables go
// to LATER-TABLES-FILE, shown after the reader's and the save's.
//
// "bench_window window|keyboard|close START-NS" is the editor as main() starts it. It
// reports its first paint and ends without a close, or with "keyboard" shows the Physical
// Keyboard tab and reports "keyboard <ms>" once every combination in view is painted with
// its replacement field, or with "close" reports "built <ns>" and "peak <kB>" once every
// combination is in the list and closes the window as the user would (it saves).
#include "bench.h"

#include "app/configwidget.h"
#include "app/settingseditor.h"
#include "editor/keyconfig.h"
#include "platform/qpeapplication.h"

#include <QLineEdit>

namespace {

const int longList = 20000;

// Shows the Physical Keyboard tab and reports "keyboard <ms>" at the end of the first paint
// pass that began with every editor in view made, replacement field and all.
void showKeyboardTab(ConfigWidget *window, PaintClock *clock)
{
    clock->beforePaint = [window, clock, start = monotonicNs()] {
        int inView = 0;
        for (KeyConfig *editor : window->widget(1)->findChildren<KeyConfig *>()) {
            if (!editor->isVisible() || editor->visibleRegion().isEmpty())
                continue;
            if (!editor->findChild<QLineEdit *>())
                return;
            ++inView;
        }
        if (inView > 0) {
            clock->afterPaint = [start] {
                std::printf("keyboard %.2f\n", (monotonicNs() - start) / 1e6);
                QCoreApplication::exit(0);
            };
        }
    };
    window->setCurrentIndex(1);
}

int probe(int argc, char **argv, const QByteArray &mode)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    SettingsEditor editor(app);
    if (!editor.becomeTheOnlyEditor())
        return editor.exitStatus();
    editor.watchEveryEnd();
    editor.showWindow(); // the first paint comes from the event loop, after this
    ConfigWidget *window = editor.window();
    const long long start = std::atoll(argv[argc - 1]);
    if (mode != "close") {
        auto *clock = new PaintClock(window, start);
        if (mode == "keyboard")
            clock->firstPaint = [window, clock] { showKeyboardTab(window, clock); };
    }
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [poll, window] {
        if (window->findChildren<KeyConfig *>().size() >= longList) {
            poll->stop();
            std::printf("built %lld\npeak %lld\n", monotonicNs(), peakKb());
            window->close();
        }
    });
    if (mode == "close")
        poll->start(100);
    return editor.exec();
}

} // namespace

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "window" || mode == "keyboard" || mode == "close")
        return probe(argc, argv, mode);
    QCoreApplication app(argc, argv);
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 15);
    const QString self = app.applicationFilePath(), before = argc > 3 ? argv[3] : "";
    QTemporaryDir dir;
    struct Program
    {
        QByteArray prefix; // of its figures: "floor ", "20 ", "before 20 ", "tab ", ...
        QString path;
        QStringList arguments;
        QString home;
    };
    std::vector<Program> programs{
        { "floor ", app.applicationDirPath() + "/bench_floor", {}, dir.path() }
    };
    for (int n : { 0, 20, 200, 1000 }) {
        const QString home = dir.filePath(QString::number(n));
        writeMappingFile(home, benchCombinations(n));
        for (const QByteArray build : { "", "before " }) {
            const QString path = build.isEmpty() ? self : before;
            programs.push_back({ build + QByteArray::number(n) + ' ', path, { "window" }, home });
            if (n == 1000)
                programs.push_back({ build + "tab ", path, { "keyboard" }, home });
        }
    }
    Figures f;
    for (int round = -1; round < rounds; ++round) { // a warm-up first: files in the page cache
        for (const Program &p : programs) {
            Figures warmUp;
            qputenv("XDG_DATA_HOME", QFile::encodeName(p.home));
            run(round < 0 ? warmUp : f, p.prefix, p.path, p.arguments, 60000);
        }
    }
    writeMappingFile(dir.filePath(QString::number(longList)), benchCombinations(longList));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QString::number(longList))));
    for (int round = 0; round < 3; ++round)
        run(f, "long ", self, { "close" });
    for (size_t i = 0; i < std::min(f["long end"].size(), f["long built"].size()); ++i)
        f["long close"].push_back((f["long end"][i] - f["long built"][i]) / 1e6);
    if (f["floor window"].empty() || f["0 window"].empty())
        return 1;

    const double floorMs = percentile(f["floor window"]), noneMs = percentile(f["0 window"]);
    QList<QByteArrayList> window{ { "program", "before ms", "x floor", "now ms", "min ms", "max ms",
                                    "x floor", "x 0" } };
    QList<QByteArrayList> memory{ { "program", "peak MB", "x floor" } };
    for (const QByteArray n : { "floor", "0", "20", "200", "1000" }) {
        const std::vector<double> &ms = f[n + " window"], &b = f["before " + n + " window"];
        const QByteArray label = n == "floor" ? n : n + " combinations";
        window.append({ label, figure(b), figure(b, 0.5, 2, floorMs), figure(ms), figure(ms, 0),
                        figure(ms, 1), figure(ms, 0.5, 2, floorMs),
                        n == "floor" ? "" : figure(ms, 0.5, 2, noneMs) });
        memory.append({ label, figure(f[n + " memory"], 0.5, 1, 1024),
                        figure(f[n + " memory"], 0.5, 2, percentile(f["floor memory"])) });
    }
    printTable(stdout,
               "1. Time to window (spawn to first paint done; Xvfb 1024x768, median of "
                   + QByteArray::number(rounds) + " interleaved runs)",
               window,
               "targets: 20 and 1000 combinations <= 1.15x the floor and <= 1.05x 0 combinations");
    printTable(
        stdout,
        "1b. Physical Keyboard tab shown right after the window: visible "
        "combinations painted (ms from the switch; median)",
        { { "program", "before ms", "now ms" },
          { "1000 combinations", figure(f["before tab keyboard"]), figure(f["tab keyboard"]) } },
        "target: <= 100 ms");
    FILE *later = std::fopen(argc > 2 ? argv[2] : "/dev/stdout", "w");
    printTable(later, "4. Memory (peak resident set, VmHWM, at first paint; median)", memory, "");
    printTable(
        later,
        "5. A long list (20000 combinations, every combination in the list, then "
        "closed; median of 3 runs)",
        { { "program", "peak MB", "close ms" },
          { "20000 combinations", figure(f["long peak"], 0.5, 1, 1024), figure(f["long close"]) } },
        "targets: peak <= 250 MB, close < 1000 ms");
    return std::fclose(later) == 0 ? 0 : 1;
}
