#ifndef QCOPENVELOPE_H
#define QCOPENVELOPE_H

#include <QByteArray>
#include <QString>

#include <functional>

// One message on a named channel, delivered when the envelope is released.
//
// A message travels as a D-Bus signal on the session bus: object path "/" + channel
// ("/Tavorin/Private"), interface QCopEnvelope::interfaceName, member the message
// name without its argument list ("disable()" becomes "disable"). Messages leave in
// the order they are released, and each has reached the bus before the destructor
// returns, so none is lost when the process ends right after.
class QCopEnvelope
{
public:
    static constexpr const char *interfaceName = "org.tavorin.QCop";

    QCopEnvelope(const QByteArray &channel, const QByteArray &message);
    ~QCopEnvelope();

    QCopEnvelope(const QCopEnvelope &) = delete;
    QCopEnvelope &operator=(const QCopEnvelope &) = delete;

    // Called with every message as it is sent, in order; for tests. Pass an empty
    // function to stop observing.
    using Observer = std::function<void(const QString &channel, const QString &message)>;
    static void setObserver(Observer observer);
    // Makes every static that sending uses, so that a handler registered with atexit()
    // afterwards runs while they still exist.
    static void prepare();

private:
    QByteArray m_channel;
    QByteArray m_message;
};

#endif // QCOPENVELOPE_H
