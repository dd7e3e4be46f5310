#ifndef QPEAPPLICATION_H
#define QPEAPPLICATION_H

#include <QApplication>
#include <QList>

QT_BEGIN_NAMESPACE
class QLocale;
class QTranslator;
QT_END_NAMESPACE

// The application object of a platform client: owns the event loop and shows the
// client's main window.
class QPEApplication : public QApplication
{
    Q_OBJECT
public:
    enum Type { Tty = 0, GuiClient = 1, GuiServer = 2 };

    QPEApplication(int &argc, char **argv, Type type = GuiClient);

    // Shows the main window maximised, or at its own size when nomax is true.
    void showMainWidget(QWidget *widget, bool nomax = false);

    Type type() const { return m_type; }

    // Installs this program's catalogue for the locale and Qt's own ("qtbase"), in
    // place of any installed before; the constructor does this for the user's locale.
    // The catalogue is looked for in the installed translations folder first, so that
    // an updated one there wins, then in the copy built into the program.
    // Returns whether this program's catalogue was found.
    bool loadTranslations(const QLocale &locale, const QString &folder = translationsFolder());

    // <prefix>/share/tavorin-settings/translations for the program in <prefix>/bin.
    static QString translationsFolder();

private:
    Type m_type;
    QList<QTranslator *> m_translators; // children of this object
};

#endif // QPEAPPLICATION_H
