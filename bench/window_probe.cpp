// The editor as main() starts it, with one addition: it reports its first paint (see
// firstpaint.h) and ends there. It ends without closing the window, so the key mapping
// file and the settings are left as they were for the next run.
#include "firstpaint.h"

#include "app/configwidget.h"
#include "app/settingseditor.h"
#include "platform/qpeapplication.h"

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    SettingsEditor editor(app);
    if (!editor.becomeTheOnlyEditor())
        return editor.exitStatus();
    editor.watchEveryEnd();
    editor.showWindow(); // the first paint comes from the event loop, after this
    new FirstPaintProbe(editor.window());
    return editor.exec();
}
