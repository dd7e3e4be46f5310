// Starts the settings window, closes it as soon as the event loop runs and ends.
// With the argument "abrupt" the process ends right after the close, without
// returning from main: nothing left queued in the process gets another chance.
#include "app/configwidget.h"
#include "platform/qpeapplication.h"

#include <QTimer>

#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    const bool abrupt = argc > 1 && std::strcmp(argv[1], "abrupt") == 0;
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    ConfigWidget window;
    app.showMainWidget(&window, true);
    QTimer::singleShot(0, &window, [&window, abrupt] {
        window.close();
        if (abrupt)
            std::_Exit(0);
    });
    return app.exec();
}
