// Tables 1, 1b, 4 and 5 (docs/performance.md). "bench_window ROUNDS [LATER-TABLES-FILE
// [EARLIER-BUILD]]" prints tables 1 and 1b, and 4 and 5 into the file.
#include "bench.h"

static const int longList = 20000;

// Shows the Physical Keyboard tab and reports "keyboard <ms>" at the end of the first paint
// pass that began with every editor in view made, replacement field and all.
static void showKeyboardTab(ConfigWidget *window, PaintClock *clock)
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

// "bench_window window|keyboard|close DATA-HOME START-NS": the editor as main() starts it,
// ended after its first paint, or after the keyboard tab then, or closed as the user does once
// every combination is in the list ("built <ns>", "peak <kB>").
static int probe(int argc, char **argv, const QByteArray &mode)
{
    qputenv("XDG_DATA_HOME", argv[2]);
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    SettingsEditor editor(app);
    if (!editor.becomeTheOnlyEditor())
        return editor.exitStatus();
    editor.watchEveryEnd();
    editor.showWindow(); // the first paint comes from the event loop, after this
    ConfigWidget *window = editor.window();
    if (mode == "close") {
        auto *poll = new QTimer(window);
        QObject::connect(poll, &QTimer::timeout, window, [poll, window] {
            if (window->findChildren<KeyConfig *>().size() >= longList) {
                poll->stop();
                std::printf("built %lld\npeak %lld\n", monotonicNs(), peakKb());
                window->close();
            }
        });
        poll->start(100);
    } else {
        auto *clock = new PaintClock(window, std::atoll(argv[argc - 1]));
        if (mode == "keyboard")
            clock->firstPaint = [window, clock] { showKeyboardTab(window, clock); };
    }
    return editor.exec();
}

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "window" || mode == "keyboard" || mode == "close")
        return probe(argc, argv, mode);
    QCoreApplication app(argc, argv);
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 15);
    const QString self = app.applicationFilePath(), before = argc > 3 ? argv[3] : "";
    QTemporaryDir dir;
    for (int n : { 0, 20, 200, 1000, longList })
        writeMappingFile(dir.filePath(QString::number(n)), benchCombinations(n));
    Figures f, warmUp; // "floor window", "20 memory", "before 1000 keyboard", "long peak", ...
    for (int round = -1; round < rounds; ++round) { // a warm-up first: files in the page cache
        Figures &into = round < 0 ? warmUp : f;
        run(into, "floor ", { app.applicationDirPath() + "/bench_floor" });
        for (const QByteArray n : { "0", "20", "200", "1000" }) {
            const QString mode = n == "1000" ? "keyboard" : "window", home = dir.filePath(n);
            run(into, n + ' ', { self, mode, home });
            run(into, "before " + n + ' ', { before, mode, home });
        }
    }
    for (int round = 0; round < 3; ++round)
        run(f, "long ", { self, "close", dir.filePath(QString::number(longList)) });
    for (qsizetype i = 0; i < std::min(f["long end"].size(), f["long built"].size()); ++i)
        f["long close"].push_back((f["long end"][i] - f["long built"][i]) / 1e6);
    if (f["floor window"].empty() || f["0 window"].empty())
        return 1;
    const double floorMs = percentile(f["floor window"]), noneMs = percentile(f["0 window"]);
    QList<QByteArrayList> window{ { "program", "before ms", "x floor", "now ms", "min ms", "max ms",
                                    "x floor", "x 0" } };
    QList<QByteArrayList> memory{ { "program", "peak MB", "x floor" } };
    for (const QByteArray n : { "floor", "0", "20", "200", "1000" }) {
        const QList<double> &ms = f[n + " window"], &b = f["before " + n + " window"];
        const QByteArray label = n == "floor" ? n : n + " combinations";
        window.append({ label, figure(b), figure(b, 0.5, 2, floorMs), figure(ms), figure(ms, 0),
                        figure(ms, 1), figure(ms, 0.5, 2, floorMs),
                        n == "floor" ? "" : figure(ms, 0.5, 2, noneMs) });
        memory.append({ label, figure(f[n + " memory"], 0.5, 1, 1024),
                        figure(f[n + " memory"], 0.5, 2, percentile(f["floor memory"])) });
    }
    printTable(QStringLiteral("1. Time to window (spawn to first paint done; Xvfb 1024x768, "
                              "median of %1 interleaved runs)")
                   .arg(rounds),
               window,
               "targets: 20 and 1000 combinations <= 1.15x the floor and <= 1.05x 0 combinations");
    printTable(
        "1b. Physical Keyboard tab shown right after the window: visible combinations "
        "painted (ms from the switch; median)",
        { { "program", "before ms", "now ms" },
          { "1000 combinations", figure(f["before 1000 keyboard"]), figure(f["1000 keyboard"]) } },
        "target: <= 100 ms");
    if (argc > 2 && !std::freopen(argv[2], "w", stdout))
        return 1;
    printTable("4. Memory (peak resident set, VmHWM, at first paint; median)", memory, "");
    printTable(
        "5. A long list (20000 combinations, every combination in the list, then closed; "
        "median of 3 runs)",
        { { "program", "peak MB", "close ms" },
          { "20000 combinations", figure(f["long peak"], 0.5, 1, 1024), figure(f["long close"]) } },
        "targets: peak <= 250 MB, close < 1000 ms");
}
