#ifndef UNIXSIGNALWATCHER_H
#define UNIXSIGNALWATCHER_H

#include <QObject>

#include <initializer_list>

QT_BEGIN_NAMESPACE
class QSocketNotifier;
QT_END_NAMESPACE

// Turns Unix signals into a Qt signal delivered by the event loop. The signal
// handler only writes the signal's number into a socket pair; everything else
// happens on the GUI thread when the event loop reads it, since no Qt call is safe
// inside a signal handler.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
    QList<int> m_signals;
};

#endif // UNIXSIGNALWATCHER_H
