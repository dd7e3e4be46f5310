// Table 6 (docs/performance.md). "bench_list [EARLIER-BUILD]" runs each measurement three
// times, the earlier build's once (it may take minutes), and prints the table.
#include "bench.h"

static const int count = 50000;
static const QByteArrayList names{ "build-distinct", "build-alike", "add" };

// "<name> <ms>": from the list's construction until every combination has its editor, the list
// hidden, for keys all different or all alike; or "Add Key Combination" clicked in the shown
// list right after its construction: the click and the event loop's next pass.
static int measure(int argc, char **argv, const QByteArray &name)
{
    QApplication app(argc, argv);
    QList<XmlParser::KeyConfig> list(count);
    for (int i = 0; i < count; ++i) {
        const bool alike = name == "build-alike";
        list[i].addKey(XmlParser::Key(alike ? 0x41 : 0x41 + i % 26, 0));
        list[i].addKey(XmlParser::Key(alike ? 0x30 : 0x1000 + i / 26, 0));
        list[i].setReplacement(QStringLiteral("text %1").arg(i));
    }
    QElapsedTimer timer;
    timer.start();
    KeyConfigSet set(list);
    if (name == "add") {
        set.resize(480, 640);
        set.show();
        auto *add = findWidget<QPushButton>(&set, QStringLiteral("Add Key Combination"));
        while (!set.windowHandle()->isExposed() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        if (!add || !set.windowHandle()->isExposed())
            return 1;
        timer.restart();
        add->click();
        QCoreApplication::processEvents();
    } else { // every pass of the event loop builds a part of the list
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &set, [&set] {
            if (set.findChildren<KeyConfig *>().size() >= count)
                QCoreApplication::quit();
        });
        poll.start(50);
        QCoreApplication::exec();
    }
    std::printf("%s %.1f\n", name.constData(), timer.nsecsElapsed() / 1e6);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc > 1 && names.contains(argv[1]))
        return measure(argc, argv, argv[1]);
    QCoreApplication app(argc, argv);
    Figures ms; // "build-alike", "before build-alike", ...
    for (int round = 0; round < 3; ++round) {
        for (const QByteArray &name : names) {
            run(ms, "", { app.applicationFilePath(), name });
            if (round == 0)
                run(ms, "before ", { argc > 1 ? argv[1] : "", name });
        }
    }
    QList<QByteArrayList> rows{ { "", "before ms", "now ms" } };
    for (const char *label : { "built, all keys different", "built, all keys the same",
                               "\"Add Key Combination\" right after the start" }) {
        const QByteArray &name = names[rows.size() - 1];
        rows.append({ label, figure(ms["before " + name]), figure(ms[name]) });
    }
    QByteArray targets = "targets: all alike <= 1.5x all different; the add <= 100 ms";
    if (!ms["build-alike"].empty() && !ms["build-distinct"].empty())
        targets.prepend("now: all alike take "
                        + figure(ms["build-alike"], 0.5, 2, percentile(ms["build-distinct"]))
                        + "x the time of all different\n");
    printTable("6. The list at 50,000 combinations (bench_list; now the median of 3 runs, "
               "before one run)",
               rows, targets);
}
