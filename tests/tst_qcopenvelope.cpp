#include "platform/qcopenvelope.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The control messages on a real session bus of the test's own: another connection
// must see them, in order, even when the sender ends right after sending.
class QCopEnvelopeTest : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void onMessage(const QDBusMessage &message) { m_seen << message.member(); }

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { m_seen.clear(); }
    void messagesArriveInOrder_data();
    void messagesArriveInOrder();
    void withoutBusTheProgramWarnsOnceAndWorksOn();

private:
    static QProcessEnvironment childEnvironment(const QString &busAddress, const QString &home);

    QProcess m_daemon;
    QString m_address;
    QTemporaryDir m_home;
    QStringList m_seen;
};

void QCopEnvelopeTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({ QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1") });
    m_daemon.start();
    QVERIFY2(m_daemon.waitForStarted(10000), "dbus-daemon did not start");
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine() || !m_daemon.waitForReadyRead(100), 10000);
    m_address = QString::fromLatin1(m_daemon.readLine().trimmed());
    QVERIFY2(!m_address.isEmpty(), "dbus-daemon printed no address");

    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("observer"));
    QVERIFY(bus.isConnected());
    // The bus API takes its receiver slot by name; there is no typed overload.
    for (const char *member : { "disable", "reread", "enable" }) {
        QVERIFY(bus.connect(QString(), QStringLiteral("/Tavorin/Private"),
                            QLatin1String(QCopEnvelope::interfaceName), QLatin1String(member), this,
                            SLOT(onMessage(QDBusMessage))));
    }
}

void QCopEnvelopeTest::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("observer"));
    m_daemon.kill();
    m_daemon.waitForFinished(5000);
}

QProcessEnvironment QCopEnvelopeTest::childEnvironment(const QString &busAddress,
                                                       const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    return env;
}

void QCopEnvelopeTest::messagesArriveInOrder_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("returns from main") << QStringList();
    QTest::newRow("ends right after the close") << QStringList{ QStringLiteral("abrupt") };
}

void QCopEnvelopeTest::messagesArriveInOrder()
{
    QFETCH(QStringList, arguments);
    QProcess child;
    child.setProcessEnvironment(childEnvironment(m_address, m_home.path()));
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/helper_closeonstart"),
                arguments);
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    const QStringList expected{ QStringLiteral("disable"), QStringLiteral("reread"),
                                QStringLiteral("enable") };
    QTRY_COMPARE_WITH_TIMEOUT(m_seen.size(), 3, 10000);
    QCOMPARE(m_seen, expected);
}

void QCopEnvelopeTest::withoutBusTheProgramWarnsOnceAndWorksOn()
{
    // A home of its own: the settings file found afterwards can only be this run's.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcess child;
    child.setProcessEnvironment(
        childEnvironment(QStringLiteral("unix:path=/nonexistent/bus"), home.path()));
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/helper_closeonstart"));
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    QCOMPARE(errors.count(QStringLiteral("No D-Bus session bus")), 1);
    // The close still went through: the settings were stored.
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("config/Tavorin.conf"))));
}

QTEST_GUILESS_MAIN(QCopEnvelopeTest)
#include "tst_qcopenvelope.moc"
