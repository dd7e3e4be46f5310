#include "platform/qcopenvelope.h"

#include "platform/logging.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

QCopEnvelope::Observer &observer()
{
    static QCopEnvelope::Observer instance;
    return instance;
}

void send(const QByteArray &channel, const QByteArray &message)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        static bool warned = false;
        if (!warned) {
            warned = true;
            qCWarning(lcPlatform, "No D-Bus session bus: the input method is not told about %s",
                      message.constData());
        }
        return;
    }

    const int paren = message.indexOf('(');
    const QString member = QString::fromLatin1(paren < 0 ? message : message.left(paren));
    const QString path = QLatin1Char('/') + QString::fromLatin1(channel);
    QDBusMessage signal =
        QDBusMessage::createSignal(path, QLatin1String(QCopEnvelope::interfaceName), member);
    if (!bus.send(signal)) {
        qCWarning(lcPlatform, "Could not send %s on %s: %s", message.constData(),
                  channel.constData(), qPrintable(bus.lastError().message()));
        return;
    }

    // A signal is only queued on the connection. The bus answers calls in order, so
    // once it has answered this one it has the signal too, even if the process ends
    // right after.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    const QDBusMessage reply = bus.call(ping, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qCWarning(lcPlatform, "The session bus did not confirm %s: %s", message.constData(),
                  qPrintable(reply.errorMessage()));
}

} // namespace

QCopEnvelope::QCopEnvelope(const QByteArray &channel, const QByteArray &message)
    : m_channel(channel)
    , m_message(message)
{
}

QCopEnvelope::~QCopEnvelope()
{
    if (const Observer &observe = observer())
        observe(QString::fromLatin1(m_channel), QString::fromLatin1(m_message));
    send(m_channel, m_message);
}

void QCopEnvelope::prepare()
{
    observer();
    lcPlatform();
}

void QCopEnvelope::setObserver(Observer newObserver)
{
    observer() = std::move(newObserver);
}
