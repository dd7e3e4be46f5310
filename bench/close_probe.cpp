// The editor as main() starts it, for a long key mapping file: once every combination
// has its editor in the list, it prints the monotonic clock and its peak resident memory on one
// line,
//     built <nanoseconds> <peak kB>
// and closes the window as the user would. The close saves the file and the settings and
// sends the messages; the process then ends as main() returns. bench_window takes the
// time from that line to the end of the process as the close time.
#include "processinfo.h"

#include "app/configwidget.h"
#include "app/settingseditor.h"
#include "editor/keyconfig.h"
#include "platform/qpeapplication.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    const int expected = argc > 1 ? std::atoi(argv[1]) : 0;
    SettingsEditor editor(app);
    if (!editor.becomeTheOnlyEditor())
        return editor.exitStatus();
    editor.watchEveryEnd();
    editor.showWindow();
    ConfigWidget &window = *editor.window();
    auto *poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [poll, &window, expected] {
        if (window.findChildren<KeyConfig *>().size() < expected)
            return;
        poll->stop();
        std::printf("built %lld %lld\n", monotonicNs(), peakKb());
        std::fflush(stdout);
        window.close();
    });
    poll->start(100);
    return editor.exec();
}
