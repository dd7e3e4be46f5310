#include "app/settingseditor.h"
#include "platform/qpeapplication.h"

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    SettingsEditor editor(app);
    // What is left once Qt has taken its own options: key mapping files to import.
    const QStringList files = app.arguments().mid(1);
    if (!editor.becomeTheOnlyEditor(files))
        return editor.exitStatus();
    editor.watchEveryEnd();
    editor.showWindow();
    editor.importFiles(files);
    return editor.exec();
}
