#include "app/settingseditor.h"

#include "app/configwidget.h"
#include "platform/qpeapplication.h"
#include "platform/unixsignalwatcher.h"

#include <QCloseEvent>
#include <QFileInfo>

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

} // namespace

SettingsEditor::SettingsEditor(QPEApplication &app)
    : m_app(app)
{
}

SettingsEditor::~SettingsEditor() = default;

namespace {

// Relative to this start's folder, not to the running editor's.
QStringList absolutePaths(const QStringList &files)
{
    QStringList paths;
    for (const QString &file : files)
        paths.append(QFileInfo(file).absoluteFilePath());
    return paths;
}

} // namespace

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
    connect(m_terminationWatcher, &UnixSignalWatcher::received, this, [](int signalNumber) {
        ConfigWidget::switchInputMethodOn();
        QCoreApplication::exit(128 + signalNumber);
    });
    // The event loop ended without a close (QCoreApplication::exit()).
    connect(&m_app, &QCoreApplication::aboutToQuit, this, &ConfigWidget::switchInputMethodOn);
    // exit() from inside the program: the reader's "Unknow tag", or Qt's display plugin
    // saying "The X11 connection broke". Registered after the bus connection was made
    // (becomeTheOnlyEditor), so that it runs before the bus is torn down; once, since a
    // handler cannot be taken back.
    static const bool registered = std::atexit(switchOnAtExit) == 0;
    Q_UNUSED(registered);
}

void SettingsEditor::showWindow()
{
    m_window = std::make_unique<ConfigWidget>();
    m_window->installEventFilter(this);
    m_instance.setWindow(m_window.get());
    connect(&m_instance, &SingleInstance::filesOpened, m_window.get(),
            &ConfigWidget::importKeyMappings);
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

bool SettingsEditor::eventFilter(QObject *watched, QEvent *event)
{
    // From the close on a termination signal changes nothing: the close saves
    // everything, sends "enable()" once and the program ends with status 0.
    if (watched == m_window.get() && event->type() == QEvent::Close && m_terminationWatcher)
        m_terminationWatcher->ignoreFromNowOn();
    return QObject::eventFilter(watched, event);
}
