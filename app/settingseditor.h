#ifndef SETTINGSEDITOR_H
#define SETTINGSEDITOR_H

#include "platform/singleinstance.h"

#include <QObject>
#include <QStringList>

#include <memory>

class ConfigWidget;
class QPEApplication;
class UnixSignalWatcher;

// The program's life from start to exit status: one editor at a time, every way of
// ending watched so that the input method is never left switched off, the window, and
// the event loop. The window itself (ConfigWidget) keeps what the window does: its
// tabs, loading the settings and the key combinations, and the close that saves them.
class SettingsEditor : public QObject
{
public:
    explicit SettingsEditor(QPEApplication &app);
    ~SettingsEditor() override;

    // One editor per session: takes the name on the session bus, or asks the editor
    // that holds it to come forward, handing it the files to import. False when this
    // start is to end without a window; exitStatus() then says with which status (1 when
    // the running editor did not answer or could not import the files).
    bool becomeTheOnlyEditor(const QStringList &files = QStringList());
    // Makes every orderly request to end a close of the window, which saves: SIGTERM (a
    // logout on a systemd desktop), SIGHUP (a closing terminal), the session manager's
    // logout and QCoreApplication::quit(). Every other way of ending switches the input
    // method back on without saving: SIGINT (Ctrl+C, the way to abandon the edits), and
    // exit() from inside the program (an unknown element in the key mapping file, a lost
    // display connection).
    void watchEveryEnd();
    // Builds the window, which reads the settings and the key mapping file, and shows
    // it maximised.
    void showWindow();
    ConfigWidget *window() const { return m_window.get(); }
    // Adds the combinations of the files named on the command line to the list read from
    // the key mapping file; a later start's files come through the bus (Open).
    void importFiles(const QStringList &files);
    // Runs the event loop until the window is closed or the program is ended otherwise.
    int exec();
    int exitStatus() const { return m_exitStatus; }
    // Closes the window as its close button does, once every dialog, message box and menu
    // of the editor is dismissed as its Cancel would; the close then ends the event loop
    // with status 0. Nobody is there to answer: what cannot be saved is kept for the next
    // start instead of asked about (ConfigWidget::setUnattended()).
    void closeWindow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPEApplication &m_app;
    SingleInstance m_instance;
    UnixSignalWatcher *m_terminationWatcher = nullptr; // a child of this object
    std::unique_ptr<ConfigWidget> m_window;
    int m_exitStatus = 0;
    bool m_closeBegun = false; // the window's close went through
};

#endif // SETTINGSEDITOR_H
