#include "app/settingseditor.h"
#include "platform/qpeapplication.h"

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    SettingsEditor editor(app);
    if (!editor.becomeTheOnlyEditor())
        return editor.exitStatus();
    editor.watchEveryEnd();
    editor.showWindow();
    return editor.exec();
}
