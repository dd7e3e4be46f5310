#include "app/configwidget.h"
#include "mapping/xmlparser.h"
#include "platform/qpeapplication.h"
#include "platform/unixsignalwatcher.h"

#include <csignal>

int main(int argc, char **argv)
{
    // A write beyond a file-size limit then fails like any other write (the old file
    // is kept) instead of killing the program with the input method switched off.
    std::signal(SIGXFSZ, SIG_IGN);

    QPEApplication app(argc, argv, QPEApplication::GuiClient);

    // Every way the program can end after "disable()" must switch the input method
    // on again. Ended by a signal, it saves nothing: only a close saves.
    XmlParser::setBeforeExit(&ConfigWidget::switchInputMethodOn);
    UnixSignalWatcher termination({ SIGTERM, SIGINT, SIGHUP });
    QObject::connect(&termination, &UnixSignalWatcher::received, &app, [](int signalNumber) {
        ConfigWidget::switchInputMethodOn();
        QCoreApplication::exit(128 + signalNumber);
    });

    ConfigWidget window(nullptr, nullptr);
    app.showMainWidget(&window, false);
    return app.exec();
}
