#include "platform/unixsignalwatcher.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

// Termination signals reach the event loop as a Qt signal, one by one, in order.
class UnixSignalWatcherTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversEachSignal();
};

void UnixSignalWatcherTest::deliversEachSignal()
{
    UnixSignalWatcher watcher({ SIGTERM, SIGINT, SIGHUP });
    QSignalSpy spy(&watcher, &UnixSignalWatcher::received);
    // Raised while the event loop is not running: they wait in the socket pair.
    QCOMPARE(std::raise(SIGHUP), 0);
    QCOMPARE(std::raise(SIGTERM), 0);
    QCOMPARE(std::raise(SIGINT), 0);
    QCOMPARE(spy.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 5000);
    QCOMPARE(spy.at(0).at(0).toInt(), SIGHUP);
    QCOMPARE(spy.at(1).at(0).toInt(), SIGTERM);
    QCOMPARE(spy.at(2).at(0).toInt(), SIGINT);
}

QTEST_GUILESS_MAIN(UnixSignalWatcherTest)
#include "tst_unixsignalwatcher.moc"
