// How fast does the editor's window open, and what does it hold in memory, at 0, 20, 200
// and 1,000 combinations next to the bare Qt program of floor.cpp; how long does the
// Physical Keyboard tab take right after the first paint; what do 20,000 combinations,
// every one in the list, cost in memory and at the close?
//
// "bench_window ROUNDS LATER-TABLES-FILE [EARLIER-BUILD-OF-BENCH_WINDOW]" runs the programs
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
#include <QSet>
#include <QTemporaryDir>

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
            if (!editor->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly))
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

struct Program
{
    QByteArray name;
    QString path;
    QString mode; // "window" or "keyboard", "" for the floor
    int combinations; // -1: the floor
    bool before; // the earlier build
    Figures figures;
};

} // namespace

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "window" || mode == "keyboard" || mode == "close")
        return probe(argc, argv, mode);
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROUNDS LATER-TABLES-FILE [EARLIER]\n", argv[0]);
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    const QString before = earlier(argc, argv, 3);
    QTemporaryDir dir;
    const auto home = [&dir](int n) { return dir.filePath(QString::number(n)); };
    std::vector<Program> programs{ { "floor", app.applicationDirPath() + "/bench_floor", "", -1, false, {} } };
    for (int n : { 0, 20, 200, 1000 }) {
        writeMappingFile(home(n), benchCombinations(n));
        for (const QString &path : { app.applicationFilePath(), before }) {
            for (const QString m : { "window", "keyboard" }) {
                if (!path.isEmpty() && (n == 1000 || m == "window"))
                    programs.push_back({ QByteArray::number(n) + " combinations", path, m, n, path == before, {} });
            }
        }
    }
    for (int round = -1; round < rounds; ++round) { // a warm-up first: files in the page cache
        for (Program &p : programs) {
            Figures warmUp;
            run(round < 0 ? warmUp : p.figures, "", p.path, p.mode.isEmpty() ? QStringList() : QStringList(p.mode),
                home(p.combinations), 60000);
        }
    }
    Figures closed;
    writeMappingFile(home(longList), benchCombinations(longList));
    for (int round = 0; round < 3; ++round)
        run(closed, "", app.applicationFilePath(), { "close" }, home(longList));
    std::vector<double> closeMs;
    for (size_t i = 0; i < std::min(closed["end"].size(), closed["built"].size()); ++i)
        closeMs.push_back((closed["end"][i] - closed["built"][i]) / 1e6);

    const auto find = [&programs](int n, bool before, const QString &mode) -> Figures & {
        static Figures none;
        for (Program &p : programs) {
            if (p.combinations == n && p.before == before && p.mode == mode)
                return p.figures;
        }
        return none;
    };
    if (programs[0].figures["window"].empty() || find(0, false, "window")["window"].empty())
        return 1;
    const double floorMs = percentile(programs[0].figures["window"]);
    const double noneMs = percentile(find(0, false, "window")["window"]);
    QList<QByteArrayList> window{ { "program", "before ms", "x floor", "now ms", "min ms", "max ms", "x floor", "x 0" } };
    QList<QByteArrayList> memory{ { "program", "peak MB", "x floor" } };
    for (Program &p : programs) {
        const std::vector<double> &ms = p.figures["window"], &kb = p.figures["memory"];
        const std::vector<double> &b = find(p.combinations, true, "window")["window"];
        if (p.before || p.mode == "keyboard")
            continue;
        window.append({ p.name, figure(b), figure(b, 0.5, 2, floorMs), figure(ms), figure(ms, 0),
                        figure(ms, 1), figure(ms, 0.5, 2, floorMs),
                        p.combinations < 0 ? "" : figure(ms, 0.5, 2, noneMs) });
        memory.append({ p.name, figure(kb, 0.5, 1, 1024), figure(kb, 0.5, 2, percentile(programs[0].figures["memory"])) });
    }
    printTable(stdout, QStringLiteral("1. Time to window (spawn to first paint done; Xvfb 1024x768, "
               "median of %1 interleaved runs)").arg(rounds).toUtf8(), window,
               "targets: 20 and 1000 combinations <= 1.15x the floor and <= 1.05x 0 combinations");
    printTable(stdout, "1b. Physical Keyboard tab shown right after the window: visible "
               "combinations painted (ms from the switch; median)",
               { { "program", "before ms", "now ms" },
                 { "1000 combinations", figure(find(1000, true, "keyboard")["keyboard"]),
                   figure(find(1000, false, "keyboard")["keyboard"]) } }, "target: <= 100 ms");
    FILE *later = std::fopen(argv[2], "w");
    if (!later)
        return 1;
    printTable(later, "4. Memory (peak resident set, VmHWM, at first paint; median)", memory, "");
    printTable(later, "5. A long list (20000 combinations, every combination in the list, then "
               "closed; median of 3 runs)",
               { { "program", "peak MB", "close ms" },
                 { "20000 combinations", figure(closed["peak"], 0.5, 1, 1024), figure(closeMs) } },
               "targets: peak <= 250 MB, close < 1000 ms");
    return std::fclose(later) == 0 ? 0 : 1;
}
