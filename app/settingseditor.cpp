#include "app/settingseditor.h"

#include "app/configwidget.h"
#include "platform/qcopenvelope.h"
#include "platform/qpeapplication.h"
#include "platform/unixsignalwatcher.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QSessionManager>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdlib>

namespace {

extern "C" void switchOnAtExit()
{
    // Only while the application (and with it the bus connection) still exists: a
    // return from main() has destroyed it, and that end is a close or a hand-over.
    if (QCoreApplication::instance())
        ConfigWidget::switchInputMethodOn();
}

// Relative to this start's folder, not to the running editor's.
QStringList absolutePaths(const QStringList &files)
{
    QStringList paths;
    for (const QString &file : files)
        paths.append(QFileInfo(file).absoluteFilePath());
    return paths;
}

} // namespace

SettingsEditor::SettingsEditor(QPEApplication &app)
    : m_app(app)
{
}

SettingsEditor::~SettingsEditor() = default;

bool SettingsEditor::becomeTheOnlyEditor(const QStringList &files)
{
    // A second start brings the running editor forward and ends without a word to the
    // input method. The name is taken before "disable()" goes out.
    switch (m_instance.claim(absolutePaths(files))) {
    case SingleInstance::OpenHere:
        return true;
    case SingleInstance::HandedOver:
        m_exitStatus = 0;
        return false;
    case SingleInstance::NoAnswer:
    case SingleInstance::NotImported:
        m_exitStatus = 1;
        return false;
    }
    return false;
}

void SettingsEditor::watchEveryEnd()
{
    // A write beyond a file-size limit then fails like any other write (the old file is
    // kept, the close goes on) instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);

    // A signal ignored by whoever started the program (nohup, a shell's background job)
    // stays ignored: the watcher leaves it alone.
    m_terminationWatcher = new UnixSignalWatcher({ SIGTERM, SIGINT, SIGHUP }, this);
    connect(m_terminationWatcher, &UnixSignalWatcher::received, this, [this](int signalNumber) {
        // To the user a logout or a closed terminal is a close: they were told that closing
        // saves, and there is no save button. Ctrl+C stays the way to abandon the edits.
        if (signalNumber != SIGINT) {
            closeWindow();
            return;
        }
        ConfigWidget::switchInputMethodOn();
        QCoreApplication::exit(128 + signalNumber);
    });
    // The session manager's logout (X11) asks to save, then to quit: the quit closes the
    // window (the Quit event below). The same request to save comes with a mere checkpoint,
    // which ends nothing, so the window stays open until the quit. A window restored with
    // the next session would switch the input method off at login with nobody having asked
    // for the editor: it is not started again.
    const auto notRestarted = [](QSessionManager &manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    };
    connect(&m_app, &QGuiApplication::commitDataRequest, this, notRestarted);
    connect(&m_app, &QGuiApplication::saveStateRequest, this, notRestarted);
    // On the application object the filter sees every event of the program: the window's
    // Close, and the application's Quit.
    m_app.installEventFilter(this);
    // The event loop ended without a close (QCoreApplication::exit()).
    connect(&m_app, &QCoreApplication::aboutToQuit, this, &ConfigWidget::switchInputMethodOn);
    // exit() from inside the program: the reader's "Unknow tag", or Qt's display plugin
    // saying "The X11 connection broke". Registered after the bus connection was made
    // (becomeTheOnlyEditor), so that it runs before the bus is torn down; once, since a
    // handler cannot be taken back. The same holds for every other static that the send
    // uses: statics are destroyed in the reverse order of their making, interleaved with
    // the exit handlers, so each is made here, before the handler is registered.
    QCopEnvelope::prepare();
    static const bool registered = std::atexit(switchOnAtExit) == 0;
    Q_UNUSED(registered);
}

void SettingsEditor::showWindow()
{
    m_window = std::make_unique<ConfigWidget>();
    m_instance.setWindow(m_window.get());
    m_instance.setFileHandler([window = m_window.get()](const QStringList &paths) {
        return window->importKeyMappings(paths);
    });
    m_app.showMainWidget(m_window.get(), false);
}

void SettingsEditor::importFiles(const QStringList &files)
{
    m_window->importKeyMappings(absolutePaths(files));
}

int SettingsEditor::exec()
{
    m_exitStatus = m_app.exec();
    return m_exitStatus;
}

void SettingsEditor::closeWindow()
{
    if (!m_window || m_closeBegun)
        return;
    // Nobody is there to answer: what cannot be saved is kept for the next start.
    m_window->setUnattended(true);
    // Each dialog, message box and menu ends as its Cancel or Escape would, so that the
    // code that opened it goes on as after a cancel, and its own event loop ends.
    bool dismissed = false;
    while (QWidget *open = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                             : QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(open))
            dialog->reject();
        else
            open->close();
        if (open->isVisible())
            break; // it would not go; the window closes all the same
        dismissed = true;
    }
    // Inside such an event loop the window closes only once control is back in the
    // program's own loop, after the code that opened the dialog has gone on. A loop that
    // nothing here can end (a drag of text) is waited for.
    if (QThread::currentThread()->loopLevel() > 1) {
        QTimer::singleShot(dismissed ? 0 : 100, this, &SettingsEditor::closeWindow);
        return;
    }
    m_window->close();
}

bool SettingsEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Hide && !event->spontaneous()
        && !m_closeBegun) {
        // Once the close went through (a close that asks about a failed save may keep the
        // window), a termination signal changes nothing: everything was saved or kept,
        // "enable()" went out once and the program ends with status 0. Until then a
        // logout or a signal answers the question (closeWindow()).
        m_closeBegun = true;
        if (m_terminationWatcher)
            m_terminationWatcher->ignoreFromNowOn();
    } else if (watched == &m_app && event->type() == QEvent::Quit && m_window && !m_closeBegun) {
        // A quit (the session manager's "die" among them) is the window's close, which
        // ends the event loop in turn; Qt's own would close the window from inside an open
        // dialog's loop.
        closeWindow();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
