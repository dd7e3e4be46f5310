// The editor as main() starts it, step for step, with one addition: it reports its first
// paint (see firstpaint.h) and ends there. It ends without closing the window, so the
// key mapping file and the settings are left as they were for the next run.
#include "firstpaint.h"

#include "app/configwidget.h"
#include "platform/qpeapplication.h"
#include "platform/singleinstance.h"

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    SingleInstance instance;
    if (instance.claim() != SingleInstance::First)
        return 1;
    ConfigWidget::switchInputMethodOnAtEveryEnd(&app);
    ConfigWidget window(nullptr, nullptr);
    instance.setWindow(&window);
    new FirstPaintProbe(&window);
    app.showMainWidget(&window, false);
    return app.exec();
}
