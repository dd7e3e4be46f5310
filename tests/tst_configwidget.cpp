#include "app/configwidget.h"
#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"
#include "findbutton.h"
#include "mapping/keymapfile.h"
#include "platform/config.h"
#include "platform/qcopenvelope.h"
#include "storefile.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
    void closeCommitsSettingsBeforeReread();
    void noCloseNoEnable();
    void loadsWhatTheReaderCollected_data();
    void loadsWhatTheReaderCollected();
    void closeRewritesFileBeforeReread_data();
    void closeRewritesFileBeforeReread();
    void failedSaveAtClose_data();
    void failedSaveAtClose();
    void longTextsComeBackWhole();

private:
    struct Sent
    {
        QString message;
        int spinBoxes; // spin boxes alive when it was sent
        QByteArray store; // the settings file's content at that moment
        QByteArray mapping; // the key mapping file's content at that moment
    };
    static QString mappingPath();
    static QByteArray read(const QString &path);
    static void writeMapping(const QByteArray &content);
    // -1 when the tab holds no list: the file was too large to edit.
    static int editors(ConfigWidget &w)
    {
        return w.keyConfigSet() ? w.keyConfigSet()->findChildren<KeyConfig *>().size() : -1;
    }
    void closeWindow(ConfigWidget &w);
    static QLineEdit *symbols(ConfigWidget &w) { return w.symbolsEdit; }
    static QSpinBox *fontSize(ConfigWidget &w) { return w.fontSizeBox; }
    static QSpinBox *delay(ConfigWidget &w) { return w.delayBox; }

    QList<Sent> m_sent;
};

QString ConfigWidgetTest::mappingPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/tavorin/hardware-keyboard.xml");
}

QByteArray ConfigWidgetTest::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ConfigWidgetTest::writeMapping(const QByteArray &content)
{
    QDir().mkpath(QFileInfo(mappingPath()).absolutePath());
    QFile file(mappingPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void ConfigWidgetTest::closeWindow(ConfigWidget &w)
{
    w.show();
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
}

void ConfigWidgetTest::init()
{
    QDir(storePath()).removeRecursively(); // a folder some tests put in its place
    QFile::remove(storePath());
    QDir(QFileInfo(mappingPath()).absolutePath()).removeRecursively();
    QDir(QFileInfo(ConfigWidget::keptPath(QString())).absolutePath()).removeRecursively();
    m_sent.clear();
    QCopEnvelope::setObserver([this](const QString &channel, const QString &message) {
        QCOMPARE(channel, QStringLiteral("Tavorin/Private"));
        int spinBoxes = 0;
        for (QWidget *w : QApplication::allWidgets())
            spinBoxes += qobject_cast<QSpinBox *>(w) != nullptr;
        m_sent.append({ message, spinBoxes, read(storePath()), read(mappingPath()) });
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
    QTest::addColumn<QString>("symbolsShown");
    const QString backslash = QStringLiteral("\\");
    QTest::newRow("above range") << QByteArray("fontSize=100\ndelay=20000\n") << 48 << 10000
                                 << backslash;
    QTest::newRow("below range") << QByteArray("fontSize=2\ndelay=50\n") << 6 << 100 << backslash;
    QTest::newRow("at the bounds")
        << QByteArray("fontSize=6\ndelay=10000\n") << 6 << 10000 << backslash;
    QTest::newRow("not numbers") << QByteArray("fontSize=big\ndelay=\n") << 12 << 1000 << backslash;
    QTest::newRow("off the step") << QByteArray("fontSize=13\ndelay=150\n") << 13 << 150
                                  << backslash;
    // Written by hand without quotes: commas make a list, which comes back joined.
    QTest::newRow("symbols with unquoted commas")
        << QByteArray("symbols=.,?!\n") << 12 << 1000 << QStringLiteral(".,?!");
    QTest::newRow("symbols of empty list items")
        << QByteArray("symbols=,\n") << 12 << 1000 << QStringLiteral(",");
    // ';' starts a comment for QSettings: what stands before it is kept.
    QTest::newRow("symbols with unquoted semicolon")
        << QByteArray("symbols=a;b\n") << 12 << 1000 << QStringLiteral("a");
    QTest::newRow("symbols quoted")
        << QByteArray("symbols=\".,;\"\n") << 12 << 1000 << QStringLiteral(".,;");
}

void ConfigWidgetTest::storedValuesAreBoundedAndWrittenBack()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, fontSizeShown);
    QFETCH(int, delayShown);
    QFETCH(QString, symbolsShown);
    writeStore("[Tavorin]\n" + stored);
    {
        ConfigWidget w;
        QCOMPARE(fontSize(w)->value(), fontSizeShown);
        QCOMPARE(delay(w)->value(), delayShown);
        QCOMPARE(symbols(w)->text(), symbolsShown);
        w.show();
        QVERIFY(w.close());
    }
    QSettings store(storePath(), QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("Tavorin/fontSize")).toInt(), fontSizeShown);
    QCOMPARE(store.value(QStringLiteral("Tavorin/delay")).toInt(), delayShown);
    QCOMPARE(store.value(QStringLiteral("Tavorin/symbols")).toString(), symbolsShown);
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

void ConfigWidgetTest::closeCommitsSettingsBeforeReread()
{
    writeStore("[Tavorin]\nfontSize=20\n");
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
    // An input method that re-reads at once finds the new value.
    QVERIFY2(m_sent[1].store.contains("fontSize=30"), m_sent[1].store.constData());
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

namespace {
const QByteArray rootOnly("<hardware-keyboard>\n</hardware-keyboard>");
// One combination more than the editor edits.
const QByteArray tooMany = "<hardware-keyboard>"
    + QByteArray("<key-config/>").repeated(KeyMapFile::maxCombinations + 1)
    + "</hardware-keyboard>";
const QByteArray twoCombinations("<hardware-keyboard>\n"
                                 "\t<key-config>\n"
                                 "\t\t<key keycode=\"81\" state=\"8\"/>\n"
                                 "\t\t<key keycode=\"4144\" state=\"0\"/>\n"
                                 "\t\t<replacement text=\"&quot;x&quot; &amp; \xc3\xa4\"/>\n"
                                 "\t</key-config>\n"
                                 "\t<key-config>\n"
                                 "\t\t<key keycode=\"4099\" state=\"16\"/>\n"
                                 "\t\t<replacement text=\"&lt;br>\"/>\n"
                                 "\t</key-config>\n"
                                 "</hardware-keyboard>");
} // namespace

void ConfigWidgetTest::loadsWhatTheReaderCollected_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("expectedEditors");
    QTest::newRow("no file: one empty combination") << false << QByteArray() << 1;
    QTest::newRow("empty file") << true << QByteArray() << 0;
    QTest::newRow("root only") << true << rootOnly << 0;
    QTest::newRow("two combinations") << true << twoCombinations << 2;
    QTest::newRow("cut short in the second")
        << true << twoCombinations.left(twoCombinations.indexOf("4099")) << 2;
    QTest::newRow("not XML") << true << QByteArray("hello") << 0;
    QTest::newRow("too many combinations: no list") << true << tooMany << -1;
}

void ConfigWidgetTest::loadsWhatTheReaderCollected()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(int, expectedEditors);
    if (exists)
        writeMapping(content);
    if (exists && content != rootOnly && content != twoCombinations)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("could not be read|too large")));
    ConfigWidget w;
    QCOMPARE(editors(w), expectedEditors);
    // The tab says in one line why there is no list.
    const QString tooLarge =
        QStringLiteral("The key mapping file is too large to edit here and is left as it is.");
    bool saysTooLarge = false;
    for (const QLabel *label : w.widget(1)->findChildren<QLabel *>())
        saysTooLarge = saysTooLarge || label->text() == tooLarge;
    QCOMPARE(saysTooLarge, expectedEditors < 0);
    // Without a list, files to import are refused in a message box that names them.
    if (expectedEditors < 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Not imported")));
    QCOMPARE(w.importKeyMappings({ mappingPath() }), expectedEditors >= 0);
    bool refused = false;
    for (const QMessageBox *box : w.findChildren<QMessageBox *>())
        refused = refused || box->text().endsWith(QStringLiteral("too large to edit here."));
    QCOMPARE(refused, expectedEditors < 0);
}

void ConfigWidgetTest::closeRewritesFileBeforeReread_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<QByteArray>("meanwhile"); // written by another program while open
    QTest::newRow("own layout stays byte for byte")
        << twoCombinations << twoCombinations << false << QByteArray();
    QTest::newRow("indented differently")
        << QByteArray("<hardware-keyboard><key-config><replacement text='a'/>"
                      "<key state=' 8 ' keycode='65'/></key-config></hardware-keyboard>\n")
        << QByteArray("<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode=\"65\" state=\"8\"/>\n"
                      "\t\t<replacement text=\"a\"/>\n\t</key-config>\n</hardware-keyboard>")
        << false << QByteArray();
    QTest::newRow("incomplete combinations are dropped")
        << QByteArray("<hardware-keyboard><key-config><key keycode='65'/></key-config>"
                      "<key-config><replacement text='x'/></key-config></hardware-keyboard>")
        << rootOnly << false << QByteArray();
    // What was read of the cut-short combination has no key, so it is not written.
    QTest::newRow("cut short: backup kept")
        << twoCombinations.left(twoCombinations.indexOf("4099"))
        << twoCombinations.left(twoCombinations.indexOf("\t<key-config>\n\t\t<key keycode=\"4099"))
            + "</hardware-keyboard>"
        << true << QByteArray();
    // What another program wrote meanwhile is kept as the backup.
    QTest::newRow("changed on disk meanwhile")
        << twoCombinations << twoCombinations << true << QByteArray("<hardware-keyboard/>");
    QByteArray sameSize = twoCombinations;
    sameSize.replace("81", "82");
    QTest::newRow("same size and time, other content")
        << twoCombinations << twoCombinations << true << sameSize;
    QTest::newRow("too large: left as it is") << tooMany << tooMany << false << QByteArray();
}

void ConfigWidgetTest::closeRewritesFileBeforeReread()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, expected);
    QFETCH(bool, backup);
    QFETCH(QByteArray, meanwhile);
    writeMapping(content);
    if ((backup && meanwhile.isEmpty()) || content == tooMany)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("could not be read|too large")));
    ConfigWidget w;
    if (!meanwhile.isEmpty()) {
        // Back to the time it had when read: only the content tells the difference.
        const QDateTime modified = QFileInfo(mappingPath()).lastModified();
        writeMapping(meanwhile);
        QFile file(mappingPath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    if (backup)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("content is kept in .*\\.bak")));
    closeWindow(w);
    QCOMPARE(read(mappingPath()), expected);
    QCOMPARE(m_sent.size(), 3);
    QCOMPARE(m_sent[1].message, QStringLiteral("reread()"));
    QCOMPARE(m_sent[1].mapping, expected); // complete on disk before "reread()"
    QCOMPARE(QFile::exists(mappingPath() + QStringLiteral(".bak")), backup);
    if (backup)
        QCOMPARE(read(mappingPath() + QStringLiteral(".bak")),
                 meanwhile.isEmpty() ? content : meanwhile);
}

void ConfigWidgetTest::failedSaveAtClose_data()
{
    QTest::addColumn<bool>("mappingFails"); // else the settings store fails
    // A file too large to copy appears at the key mapping file's name; else a folder is there.
    QTest::addColumn<bool>("appears");
    QTest::addColumn<QString>("answer"); // the box's button; empty: an unattended close
    QTest::addColumn<bool>("closed");
    QTest::newRow("key mapping file, unattended: kept") << true << false << QString() << true;
    QTest::newRow("a file too large appears meanwhile, unattended: kept")
        << true << true << QString() << true;
    QTest::newRow("settings store, unattended: kept") << false << false << QString() << true;
    QTest::newRow("key mapping file, retried once there is room")
        << true << false << QStringLiteral("Retry") << true;
    QTest::newRow("settings store, retried") << false << false << QStringLiteral("Retry") << true;
    QTest::newRow("escape keeps the window") << true << false << QStringLiteral("Escape") << false;
    QTest::newRow("saved elsewhere") << true << false << QStringLiteral("Save As\u2026") << true;
    QTest::newRow("close without saving")
        << true << false << QStringLiteral("Close Without Saving") << true;
}

void ConfigWidgetTest::failedSaveAtClose()
{
    QFETCH(bool, mappingFails);
    QFETCH(bool, appears);
    QFETCH(QString, answer);
    QFETCH(bool, closed);
    // GIVEN a folder in place of a file: it can be neither read nor replaced, even by root.
    const QString failing = mappingFails ? mappingPath() : storePath();
    QVERIFY(appears || QDir().mkpath(failing));
    if (mappingFails && !appears)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("neither read nor")));
    auto w = std::make_unique<ConfigWidget>();
    symbols(*w)->setText(QStringLiteral("edited"));
    w->keyConfigSet()->add(QStringLiteral("kept"), { XmlParser::Key(81, 0) });
    w->setUnattended(answer.isEmpty());
    const QByteArray tooLarge(KeyMapFile::maxFileSize + 1, ' ');
    if (appears)
        writeMapping(tooLarge);
    QTest::ignoreMessage(QtDebugMsg, "Ups!");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("left as it was: .+|no backup could")));
    if (answer.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("are kept in ")));
    int sentWhileAsked = -1;
    const QTemporaryDir elsewhere;
    const QString savedAs = elsewhere.filePath(QStringLiteral("saved.xml"));
    // The box and the dialog are answered once they are shown, whenever that is; the
    // timers that look for them end with this function.
    QObject answering;
    std::function<void()> answerFileDialog = [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return QTimer::singleShot(10, &answering, answerFileDialog);
        // selectFile() leaves the name field alone while it has the focus (it may be being
        // typed in), and the focus comes whenever the dialog's window is activated; without
        // it the name is set, else Save would only open the folder.
        if (QWidget *focused = dialog->focusWidget())
            focused->clearFocus();
        dialog->selectFile(savedAs);
        static_cast<QDialog *>(dialog)->accept(); // as its Save button does
    };
    std::function<void()> answerBox = [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return QTimer::singleShot(10, &answering, answerBox);
        QCOMPARE(box->text(), QStringLiteral("Your changes could not be saved."));
        QVERIFY(box->informativeText().contains(QFileInfo(failing).fileName()));
        sentWhileAsked = int(m_sent.size());
        if (answer == QLatin1String("Retry"))
            QDir(failing).removeRecursively(); // the cause is gone
        if (answer == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        if (answer == QStringLiteral("Save As\u2026"))
            answerFileDialog();
        for (QAbstractButton *button : box->buttons())
            if (button->text() == answer)
                button->click();
    };
    QTimer::singleShot(0, &answering, answerBox);
    // WHEN the window is closed
    w->show();
    QCOMPARE(w->close(), closed);
    // THEN the input method heard nothing while the box was open, and all of the close after
    QCOMPARE(sentWhileAsked, answer.isEmpty() ? -1 : 1);
    QCOMPARE(m_sent.size(), closed ? 3 : 1);
    const bool retried = answer == QLatin1String("Retry");
    QCOMPARE(read(storePath()).contains("symbols=edited"), mappingFails || retried);
    QCOMPARE(read(mappingPath()).contains("kept"), !mappingFails || retried);
    QVERIFY(!appears || read(mappingPath()) == tooLarge);
    const QString kept = ConfigWidget::keptPath(
        mappingFails ? QStringLiteral("hardware-keyboard.xml") : QStringLiteral("Tavorin.conf"));
    QCOMPARE(QFile::exists(kept), answer.isEmpty());
    QCOMPARE(read(savedAs).contains("\"kept\""), answer == QStringLiteral("Save As\u2026"));
    if (!closed)
        return;
    // AND the next start offers what was kept, restores it and removes it once saved
    QDir(failing).removeRecursively();
    QFile::remove(mappingPath());
    QFile::remove(storePath());
    ConfigWidget next;
    auto *restore = findButton(next.widget(1), QStringLiteral("Restore"));
    QCOMPARE(restore != nullptr, answer.isEmpty());
    if (!restore)
        return;
    restore->click();
    QCOMPARE(symbols(next)->text(), mappingFails ? QStringLiteral("\\") : QStringLiteral("edited"));
    QCOMPARE(editors(next), mappingFails ? 2 : 1); // the empty one, and the one kept
    closeWindow(next);
    QVERIFY(!QFile::exists(kept));
}

void ConfigWidgetTest::longTextsComeBackWhole()
{
    // Longer than a line edit holds by default (32767 characters).
    const QString replacement = QString(40000, QLatin1Char('r')) + QStringLiteral("end");
    const QString longSymbols = QString(40000, QLatin1Char('s')) + QStringLiteral("end");
    const QByteArray file =
        "<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode=\"81\" state=\"0\"/>\n"
        "\t\t<replacement text=\""
        + replacement.toUtf8()
        + "\"/>\n\t</key-config>\n"
          "</hardware-keyboard>";
    writeMapping(file);
    {
        ConfigWidget w;
        symbols(w)->setText(longSymbols);
        closeWindow(w);
    }
    QCOMPARE(read(mappingPath()), file);
    ConfigWidget again;
    QCOMPARE(symbols(again)->text(), longSymbols);
}

QTEST_MAIN(ConfigWidgetTest)
#include "tst_configwidget.moc"
