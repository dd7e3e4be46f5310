#include "app/configwidget.h"
#include "platform/qpeapplication.h"

#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty when finished
    bool numerus = false;
    QStringList forms; // of a numerus entry: its translations, singular first
};

// Reads every message of a Qt Linguist file; sets `error` when the file cannot be read.
QList<Message> readCatalogue(const QString &path, QString *error)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == u"name") {
            context = xml.readElementText();
        } else if (name == u"message") {
            message = Message();
            message.context = context;
            message.numerus = xml.attributes().value(QLatin1String("numerus")) == u"yes";
        } else if (name == u"source") {
            message.source = xml.readElementText();
        } else if (name == u"translation") {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            if (message.numerus) {
                while (xml.readNextStartElement())
                    message.forms.append(xml.readElementText());
                message.translation = message.forms.join(QLatin1Char('\n'));
            } else {
                message.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
            messages.append(message);
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("%L?\\d+"));
    QSet<QString> found;
    for (const auto &match : pattern.globalMatch(text))
        found.insert(match.captured());
    return found;
}

QString trailingBlanks(const QString &text)
{
    qsizetype i = text.size();
    while (i > 0 && text.at(i - 1).isSpace())
        --i;
    return text.mid(i);
}

QStringList labelTexts(const QWidget &window)
{
    QStringList texts;
    for (const QLabel *label : window.findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}

} // namespace

class TranslationsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsInTheUserLocale();
    void windowFollowsLocale_data();
    void windowFollowsLocale();
    void germanLabels();
    void installedCatalogueWins();
    void qtOwnTexts();
    void catalogueIsComplete_data();
    void catalogueIsComplete();
    void contextsAreTheOnesLookedUp();

private:
    QPEApplication *app() const { return static_cast<QPEApplication *>(qApp); }
};

// The test environment sets LANG=de_DE.UTF-8; the application object alone must
// have installed the German catalogue.
void TranslationsTest::startsInTheUserLocale()
{
    QCOMPARE(QLocale().language(), QLocale::German);
    ConfigWidget window;
    QCOMPARE(window.tabText(0), QStringLiteral("Allgemein"));
    QCOMPARE(window.tabText(1), QStringLiteral("Physische Tastatur"));
}

void TranslationsTest::windowFollowsLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("general");
    QTest::addColumn<QString>("keyboard");

    const QString de1 = QStringLiteral("Allgemein");
    const QString de2 = QStringLiteral("Physische Tastatur");
    const QString en1 = QStringLiteral("General");
    const QString en2 = QStringLiteral("Physical Keyboard");
    // Rows run in order: each switch away from German must drop the German texts.
    QTest::newRow("German") << "de_DE" << true << de1 << de2;
    QTest::newRow("English after German") << "en_US" << false << en1 << en2;
    QTest::newRow("Austrian German uses the language") << "de_AT" << true << de1 << de2;
    QTest::newRow("French has no catalogue") << "fr_FR" << false << en1 << en2;
    QTest::newRow("Swiss German") << "de_CH" << true << de1 << de2;
    QTest::newRow("C locale") << "C" << false << en1 << en2;
    QTest::newRow("German again") << "de_DE" << true << de1 << de2;
}

void TranslationsTest::windowFollowsLocale()
{
    QFETCH(QString, locale);
    QFETCH(bool, found);
    QFETCH(QString, general);
    QFETCH(QString, keyboard);

    QCOMPARE(app()->loadTranslations(QLocale(locale)), found);
    ConfigWidget window;
    QCOMPARE(window.tabText(0), general);
    QCOMPARE(window.tabText(1), keyboard);
}

void TranslationsTest::germanLabels()
{
    QVERIFY(app()->loadTranslations(QLocale(QStringLiteral("de_DE"))));
    ConfigWidget window;

    const QStringList labels = labelTexts(window);
    QVERIFY2(labels.contains(QStringLiteral("Bildschirmtastatur:")), qPrintable(labels.join('|')));
    // The blank at the end keeps the label apart from its spin box.
    QVERIFY2(labels.contains(QStringLiteral("Schriftgröße der Bildschirmtastatur: ")),
             qPrintable(labels.join('|')));
    // Neither the caption nor the unit suffix is translated.
    QCOMPARE(window.windowTitle(), QStringLiteral("Tavorin Settings"));
    const QList<QSpinBox *> boxes = window.findChildren<QSpinBox *>();
    QVERIFY(std::any_of(boxes.cbegin(), boxes.cend(),
                        [](const QSpinBox *box) { return box->suffix() == u"ms"; }));
}

// A catalogue in the installed translations folder (here the German one under a French
// name, so that it differs from every built-in one) is found there and wins.
void TranslationsTest::installedCatalogueWins()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QFile::copy(QStringLiteral(":/i18n/tavorin-settings_de.qm"),
                        folder.filePath(QStringLiteral("tavorin-settings_fr.qm"))));

    QVERIFY(app()->loadTranslations(QLocale(QStringLiteral("fr_FR")), folder.path()));
    QCOMPARE(ConfigWidget().tabText(0), QStringLiteral("Allgemein"));
    QVERIFY(!app()->loadTranslations(QLocale(QStringLiteral("fr_FR"))));
    QCOMPARE(ConfigWidget().tabText(0), QStringLiteral("General"));
    QVERIFY(app()->loadTranslations(QLocale(QStringLiteral("de_DE"))));
}

void TranslationsTest::qtOwnTexts()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + QStringLiteral("/qtbase_de.qm")))
        QSKIP("Qt's German translations are not installed");
    QVERIFY(app()->loadTranslations(QLocale(QStringLiteral("de_DE"))));
    QCOMPARE(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Rückgängig"));
    app()->loadTranslations(QLocale(QStringLiteral("en_US")));
    QCOMPARE(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Undo"));
}

void TranslationsTest::catalogueIsComplete_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("forms"); // empty unless the text depends on a number

    QString error;
    const QList<Message> messages = readCatalogue(QStringLiteral(TS_FILE), &error);
    // A file that cannot be read or holds nothing fails as a row of its own.
    if (!error.isEmpty() || messages.isEmpty()) {
        QTest::newRow("the file") << QString() << QString() << QString()
                                  << QStringLiteral("unreadable or empty: ") + error
                                  << QStringList();
    }
    for (const Message &m : messages) {
        const QString row = m.context + QLatin1Char('/') + m.source;
        QTest::newRow(qPrintable(row))
            << m.context << m.source << m.translation << m.type << m.forms;
    }
}

void TranslationsTest::catalogueIsComplete()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QFETCH(QString, type);
    QFETCH(QStringList, forms);

    QVERIFY2(type.isEmpty(), qPrintable(QStringLiteral("marked ") + type));
    QVERIFY(!source.isEmpty());
    QVERIFY(!translation.isEmpty());
    QCOMPARE(placeholders(translation), placeholders(source));
    QCOMPARE(trailingBlanks(translation), trailingBlanks(source));
    QCOMPARE(translation.startsWith(u"<qt>"), source.startsWith(u"<qt>"));
    QCOMPARE(translation.endsWith(u"</qt>"), source.endsWith(u"</qt>"));

    // The built-in catalogue is the one made from this file.
    QVERIFY(app()->loadTranslations(QLocale(QStringLiteral("de_DE"))));
    const QByteArray c = context.toUtf8();
    const QByteArray text = source.toUtf8();
    if (forms.isEmpty()) {
        QCOMPARE(QCoreApplication::translate(c.constData(), text.constData()), translation);
        return;
    }
    // German has two forms: one, and all other numbers.
    QCOMPARE(forms.size(), 2);
    for (int n : { 1, 2, 0 }) {
        QCOMPARE(
            QCoreApplication::translate(c.constData(), text.constData(), nullptr, n),
            QString(forms.at(n == 1 ? 0 : 1)).replace(QLatin1String("%n"), QString::number(n)));
    }
}

// The window has no meta-object of its own and translates as "QTabWidget"; the
// widgets translate under their class names. Texts filed under any other context
// would never be looked up.
void TranslationsTest::contextsAreTheOnesLookedUp()
{
    QString error;
    const QList<Message> messages = readCatalogue(QStringLiteral(TS_FILE), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QSet<QString> known{ QStringLiteral("QTabWidget"), QStringLiteral("InputButton"),
                               QStringLiteral("KeyConfig"), QStringLiteral("KeyConfigSet") };
    QSet<QString> seen;
    for (const Message &m : messages) {
        QVERIFY2(known.contains(m.context), qPrintable(m.context));
        seen.insert(m.context);
    }
    QVERIFY(seen.contains(QStringLiteral("QTabWidget")));
}

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv);
    TranslationsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translations.moc"
