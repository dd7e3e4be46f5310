// The editor as main() starts it, step for step, with one addition: it reports its first
// paint (see firstpaint.h) and ends there. It ends without closing the window, so the
// key mapping file and the settings are left as they were for the next run.
#include "firstpaint.h"

#include "app/configwidget.h"
#include "mapping/xmlparser.h"
#include "platform/qpeapplication.h"
#include "platform/unixsignalwatcher.h"

#include <csignal>

int main(int argc, char **argv)
{
    std::signal(SIGXFSZ, SIG_IGN);

    QPEApplication app(argc, argv, QPEApplication::GuiClient);

    XmlParser::setBeforeExit(&ConfigWidget::switchInputMethodOn);
    UnixSignalWatcher termination({ SIGTERM, SIGINT, SIGHUP });
    QObject::connect(&termination, &UnixSignalWatcher::received, &app, [](int signalNumber) {
        ConfigWidget::switchInputMethodOn();
        QCoreApplication::exit(128 + signalNumber);
    });

    ConfigWidget window(nullptr, nullptr);
    new FirstPaintProbe(&window);
    app.showMainWidget(&window, false);
    return app.exec();
}
