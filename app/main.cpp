#include "app/configwidget.h"
#include "platform/qpeapplication.h"

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    // Ended by a signal, the program saves nothing: only a close saves.
    ConfigWidget::switchInputMethodOnAtEveryEnd(&app);
    ConfigWidget window(nullptr, nullptr);
    app.showMainWidget(&window, false);
    return app.exec();
}
