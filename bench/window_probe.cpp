// The editor as main() starts it (ConfigWidget::run), with one addition: it reports its first
// paint (see firstpaint.h) and ends there. It ends without closing the window, so the
// key mapping file and the settings are left as they were for the next run.
#include "firstpaint.h"

#include "app/configwidget.h"
#include "platform/qpeapplication.h"

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    return ConfigWidget::run(app, [](ConfigWidget &window) { new FirstPaintProbe(&window); });
}
