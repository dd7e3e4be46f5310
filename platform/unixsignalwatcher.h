#ifndef UNIXSIGNALWATCHER_H
#define UNIXSIGNALWATCHER_H

#include <QObject>

#include <csignal>
#include <initializer_list>

QT_BEGIN_NAMESPACE
class QSocketNotifier;
QT_END_NAMESPACE

// Turns Unix signals into a Qt signal delivered by the event loop. The signal
// handler only writes the signal's number into a socket pair; everything else
// happens on the GUI thread when the event loop reads it, since no Qt call is safe
// inside a signal handler. A signal that is ignored when the watcher is made (nohup, a
// shell's background job) is left ignored and never reported.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

    // From now on the watched signals are ignored by the process, and those that came
    // in before but were not reported yet are dropped.
    void ignoreFromNowOn();

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignal();

    struct Watched
    {
        int signalNumber;
        struct sigaction previous;
    };

    QSocketNotifier *m_notifier = nullptr;
    QList<Watched> m_watched;
    bool m_ignoring = false;
};

#endif // UNIXSIGNALWATCHER_H
