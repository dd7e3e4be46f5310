#include "app/configwidget.h"
#include "platform/qpeapplication.h"
#include "platform/singleinstance.h"

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    // One editor at a time: a second start brings the running one forward and ends
    // without a word to the input method. The name is taken before "disable()".
    SingleInstance instance;
    switch (instance.claim()) {
    case SingleInstance::HandedOver:
        return 0;
    case SingleInstance::NoAnswer:
        return 1;
    case SingleInstance::First:
        break;
    }
    // Ended by a signal, the program saves nothing: only a close saves.
    ConfigWidget::switchInputMethodOnAtEveryEnd(&app);
    ConfigWidget window(nullptr, nullptr);
    instance.setWindow(&window);
    app.showMainWidget(&window, false);
    return app.exec();
}
