#include "app/configwidget.h"
#include "platform/config.h"
#include "platform/qcopenvelope.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>

// The settings window: what it shows from the store, what it writes back, and the
// order in which the input method hears about it.
class ConfigWidgetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void firstStartShowsDefaults();
    void storedValuesAreBoundedAndWrittenBack_data();
    void storedValuesAreBoundedAndWrittenBack();
    void editedValuesAreSaved();
    void disableGoesOutBeforeAnyPage();
    void closeSendsRereadThenEnableBeforeCommitting();
    void noCloseNoEnable();

private:
    struct Sent
    {
        QString message;
        int spinBoxes; // spin boxes alive when it was sent
        QByteArray store; // the settings file's content at that moment
    };
    static QString storePath();
    static QByteArray storeContent();
    static void writeStore(const QByteArray &ini);
    static QLineEdit *symbols(ConfigWidget &w) { return w.symbolsEdit; }
    static QSpinBox *fontSize(ConfigWidget &w) { return w.fontSizeBox; }
    static QSpinBox *delay(ConfigWidget &w) { return w.delayBox; }

    QList<Sent> m_sent;
};

QString ConfigWidgetTest::storePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Tavorin.conf");
}

QByteArray ConfigWidgetTest::storeContent()
{
    QFile file(storePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ConfigWidgetTest::writeStore(const QByteArray &ini)
{
    QDir().mkpath(QFileInfo(storePath()).absolutePath());
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ini);
    file.flush();
    // The store recognises a changed file by its time and size; two rewrites of
    // the same size within a millisecond would look unchanged.
    static int rewrites = 0;
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(++rewrites),
                             QFileDevice::FileModificationTime));
}

void ConfigWidgetTest::init()
{
    QFile::remove(storePath());
    m_sent.clear();
    QCopEnvelope::setObserver([this](const QString &channel, const QString &message) {
        QCOMPARE(channel, QStringLiteral("Tavorin/Private"));
        int spinBoxes = 0;
        for (QWidget *w : QApplication::allWidgets())
            spinBoxes += qobject_cast<QSpinBox *>(w) != nullptr;
        m_sent.append({ message, spinBoxes, storeContent() });
    });
}

void ConfigWidgetTest::cleanup()
{
    QCopEnvelope::setObserver({});
}

void ConfigWidgetTest::firstStartShowsDefaults()
{
    ConfigWidget w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Tavorin Settings"));
    QCOMPARE(w.count(), 2);
    QCOMPARE(w.tabText(0), QStringLiteral("General"));
    QCOMPARE(w.tabText(1), QStringLiteral("Physical Keyboard"));
    QCOMPARE(symbols(w)->text(), QStringLiteral("\\"));
    QCOMPARE(fontSize(w)->value(), 12);
    QCOMPARE(delay(w)->value(), 1000);
    QCOMPARE(delay(w)->text(), QStringLiteral("1000ms"));
    QVERIFY(!QFile::exists(storePath())); // reading alone writes nothing
}

void ConfigWidgetTest::storedValuesAreBoundedAndWrittenBack_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("fontSizeShown");
    QTest::addColumn<int>("delayShown");
    QTest::newRow("above range") << QByteArray("fontSize=100\ndelay=20000\n") << 48 << 10000;
    QTest::newRow("below range") << QByteArray("fontSize=2\ndelay=50\n") << 6 << 100;
    QTest::newRow("at the bounds") << QByteArray("fontSize=6\ndelay=10000\n") << 6 << 10000;
    QTest::newRow("not numbers") << QByteArray("fontSize=big\ndelay=\n") << 12 << 1000;
    QTest::newRow("off the step") << QByteArray("fontSize=13\ndelay=150\n") << 13 << 150;
}

void ConfigWidgetTest::storedValuesAreBoundedAndWrittenBack()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, fontSizeShown);
    QFETCH(int, delayShown);
    writeStore("[Tavorin]\n" + stored);
    {
        ConfigWidget w;
        QCOMPARE(fontSize(w)->value(), fontSizeShown);
        QCOMPARE(delay(w)->value(), delayShown);
        w.show();
        QVERIFY(w.close());
    }
    QSettings store(storePath(), QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("Tavorin/fontSize")).toInt(), fontSizeShown);
    QCOMPARE(store.value(QStringLiteral("Tavorin/delay")).toInt(), delayShown);
    QCOMPARE(store.value(QStringLiteral("Tavorin/symbols")).toString(), QStringLiteral("\\"));
}

void ConfigWidgetTest::editedValuesAreSaved()
{
    const QString text = QStringLiteral("äöü ,;=\"\\ #x");
    {
        ConfigWidget w;
        symbols(w)->setText(text);
        fontSize(w)->setValue(20);
        delay(w)->setValue(2500);
        w.show();
        QVERIFY(w.close());
    }
    ConfigWidget again;
    QCOMPARE(symbols(again)->text(), text);
    QCOMPARE(fontSize(again)->value(), 20);
    QCOMPARE(delay(again)->value(), 2500);
}

void ConfigWidgetTest::disableGoesOutBeforeAnyPage()
{
    ConfigWidget w;
    QCOMPARE(m_sent.size(), 1);
    QCOMPARE(m_sent[0].message, QStringLiteral("disable()"));
    QCOMPARE(m_sent[0].spinBoxes, 0);
}

void ConfigWidgetTest::closeSendsRereadThenEnableBeforeCommitting()
{
    writeStore("[Tavorin]\nfontSize=20\n");
    const QByteArray before = storeContent();
    {
        ConfigWidget w;
        fontSize(w)->setValue(30);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
    }
    QStringList messages;
    for (const Sent &s : std::as_const(m_sent))
        messages << s.message;
    QCOMPARE(messages,
             QStringList({ QStringLiteral("disable()"), QStringLiteral("reread()"),
                           QStringLiteral("enable()") }));
    // The store commits only after both messages went out.
    QCOMPARE(m_sent[1].store, before);
    QCOMPARE(m_sent[2].store, before);
    QSettings store(storePath(), QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("Tavorin/fontSize")).toInt(), 30);
}

void ConfigWidgetTest::noCloseNoEnable()
{
    {
        ConfigWidget w;
        w.show();
    } // destroyed without a close
    QCOMPARE(m_sent.size(), 1);
    QCOMPARE(m_sent[0].message, QStringLiteral("disable()"));
    QVERIFY(!QFile::exists(storePath()));
}

QTEST_MAIN(ConfigWidgetTest)
#include "tst_configwidget.moc"
