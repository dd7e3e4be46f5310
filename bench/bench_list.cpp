// The list at its largest (50,000 combinations, the most the editor reads), one
// measurement per run:
//     build-distinct   from the list's construction until every combination has its
//                      editor, for combinations that all differ in their keys; the list
//                      is not shown, as while the window shows its General tab
//     build-alike      the same for combinations that all share their keys
//     add              "Add Key Combination" clicked in the shown list right after its
//                      construction, while all but its first screenful are still to be
//                      built: the click and the event loop's next pass
// It prints "<name> <milliseconds>". bench_window runs it, for the build before a change
// and for the current one in turn, and prints the table.
#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstring>

namespace {

const int combinations = 50000;

QList<XmlParser::KeyConfig> model(bool alike)
{
    QList<XmlParser::KeyConfig> list;
    list.reserve(combinations);
    for (int i = 0; i < combinations; ++i) {
        XmlParser::KeyConfig config;
        config.addKey(XmlParser::Key(alike ? 0x41 : 0x41 + i % 26, 0));
        config.addKey(XmlParser::Key(alike ? 0x30 : 0x1000 + i / 26, 0));
        config.setReplacement(QStringLiteral("text %1").arg(i));
        list.append(config);
    }
    return list;
}

QPushButton *addButton(const KeyConfigSet &set)
{
    for (QPushButton *button : set.findChildren<QPushButton *>()) {
        if (button->text() == u"Add Key Combination")
            return button;
    }
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const char *what = argc > 1 ? argv[1] : "";
    const bool add = std::strcmp(what, "add") == 0;
    if (!add && std::strcmp(what, "build-distinct") != 0 && std::strcmp(what, "build-alike") != 0) {
        std::fprintf(stderr, "usage: %s build-distinct|build-alike|add\n", argv[0]);
        return 2;
    }
    const QList<XmlParser::KeyConfig> list = model(std::strcmp(what, "build-alike") == 0);

    QElapsedTimer timer;
    timer.start();
    KeyConfigSet set(list);
    if (add) {
        set.resize(480, 640);
        set.show();
        QPushButton *button = addButton(set);
        QElapsedTimer waited;
        waited.start();
        while (!set.windowHandle()->isExposed() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        if (!button || !set.windowHandle()->isExposed())
            return 1;
        timer.restart();
        button->click();
        QCoreApplication::processEvents();
    } else {
        // Every pass of the event loop builds a part of the list; done once all are in.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &set, [&set] {
            if (set.findChildren<KeyConfig *>().size() >= combinations)
                QCoreApplication::quit();
        });
        poll.start(50);
        QCoreApplication::exec();
    }
    std::printf("%s %.1f\n", what, timer.nsecsElapsed() / 1e6);
    return 0;
}
