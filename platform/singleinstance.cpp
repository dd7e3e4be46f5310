#include "platform/singleinstance.h"

#include "platform/logging.h"
#include "platform/windowactivation.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>
#include <QUrl>
#include <QWidget>

namespace {

// RequestName's flag and answers, as the bus defines them.
const uint doNotQueue = 4;
const uint primaryOwner = 1;
const uint alreadyOwner = 4;

// What the launcher gave this start as proof that the user asked for it, for the running
// editor to come forward with. Read as the program is loaded: the application object, made
// before the name is claimed, has Qt's X11 plugin take DESKTOP_STARTUP_ID out of the
// environment.
const QByteArray launchStartupId = qgetenv("DESKTOP_STARTUP_ID");
const QByteArray launchActivationToken = qgetenv("XDG_ACTIVATION_TOKEN");

// Activate's platform_data, with the keys that freedesktop.org's D-Bus activation of desktop
// entries gives them.
QVariantMap launchPlatformData()
{
    QVariantMap data;
    if (!launchStartupId.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(launchStartupId));
    if (!launchActivationToken.isEmpty())
        data.insert(QStringLiteral("activation-token"), QString::fromUtf8(launchActivationToken));
    return data;
}

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
}

SingleInstance::Outcome SingleInstance::claim(const QStringList &files, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Without a bus the control messages cannot go out either; their envelope says so.
    if (!bus.isConnected())
        return OpenHere;

    // The object first: whoever sees the name owned can call it at once.
    bus.registerObject(QLatin1String(objectPath), this, QDBusConnection::ExportAllSlots);
    const QString name = QLatin1String(serviceName);
    QElapsedTimer clock;
    clock.start();
    while (true) {
        // Not queued: a start that does not get the name at once is the second one.
        QDBusMessage request = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
        request << name << uint(doNotQueue);
        const QDBusMessage taken = bus.call(request, QDBus::Block, timeoutMs);
        if (taken.type() != QDBusMessage::ReplyMessage) {
            qCWarning(lcPlatform, "Could not take the name %s on the session bus: %s", serviceName,
                      qPrintable(taken.errorMessage()));
            return OpenHere;
        }
        const uint result = taken.arguments().value(0).toUInt();
        if (result == primaryOwner || result == alreadyOwner)
            return OpenHere;

        QDBusMessage activate = QDBusMessage::createMethodCall(
            name, QLatin1String(objectPath), QStringLiteral("org.freedesktop.Application"),
            files.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
        if (!files.isEmpty()) {
            QStringList uris;
            for (const QString &file : files)
                uris.append(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
            activate << uris;
        }
        activate << launchPlatformData();
        const int left = timeoutMs - int(clock.elapsed());
        const QDBusMessage answer = bus.call(activate, QDBus::Block, qMax(left, 1));
        if (answer.type() == QDBusMessage::ReplyMessage)
            return HandedOver;
        if (answer.errorName() == QLatin1String(notImportedError)) {
            qCWarning(lcPlatform, "%s", qPrintable(answer.errorMessage()));
            return NotImported;
        }
        if (clock.elapsed() >= timeoutMs) {
            qCWarning(lcPlatform,
                      "Tavorin Settings is already running but does not answer; "
                      "not opening a second editor");
            return NoAnswer;
        }
        // The owner refused (its window is closing) or has just gone: its name will be
        // free in a moment.
        QThread::msleep(50);
    }
}

void SingleInstance::setWindow(QWidget *window)
{
    m_window = window;
}

void SingleInstance::Activate(const QVariantMap &platform_data)
{
    if (!m_window || !m_window->isVisible()) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("The editor is closing"));
        return;
    }
    // Minimised, it comes back in the state it had (maximised stays maximised).
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    WindowActivation::activate(m_window,
                               platform_data.value(QStringLiteral("desktop-startup-id")).toString(),
                               platform_data.value(QStringLiteral("activation-token")).toString());
}

void SingleInstance::Open(const QStringList &uris, const QVariantMap &platform_data)
{
    QStringList paths;
    for (const QString &uri : uris) {
        const QUrl url(uri);
        if (!url.isLocalFile()) {
            sendErrorReply(
                QDBusError::InvalidArgs,
                QStringLiteral("Tavorin Settings opens local files only, not %1").arg(uri));
            return;
        }
        paths.append(url.toLocalFile());
    }
    // A closing window takes nothing in; Activate answers that it is closing.
    if (m_window && m_window->isVisible() && !paths.isEmpty() && m_fileHandler
        && !m_fileHandler(paths)) {
        // Forward all the same: its message box says which files and why.
        Activate(platform_data);
        sendErrorReply(QLatin1String(notImportedError),
                       QStringLiteral("Tavorin Settings could not import %1")
                           .arg(paths.join(QLatin1String(", "))));
        return;
    }
    Activate(platform_data);
}

void SingleInstance::ActivateAction(const QString &action_name, const QVariantList &,
                                    const QVariantMap &)
{
    sendErrorReply(QDBusError::InvalidArgs,
                   QStringLiteral("Tavorin Settings has no action \"%1\"").arg(action_name));
}
