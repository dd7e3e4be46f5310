#include "platform/qpeapplication.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#ifndef TAVORIN_TRANSLATIONS_RELDIR
#define TAVORIN_TRANSLATIONS_RELDIR "../share/tavorin-settings/translations"
#endif

QPEApplication::QPEApplication(int &argc, char **argv, Type type)
    : QApplication(argc, argv)
    , m_type(type)
{
    setApplicationName(QStringLiteral("tavorin-settings"));
    setOrganizationName(QStringLiteral("Tavorin"));
    setApplicationVersion(QStringLiteral(TAVORIN_VERSION));
    // The installed desktop entry's name, so that a Wayland desktop matches the window
    // to its menu entry and icon.
    setDesktopFileName(QStringLiteral("org.tavorin.Settings"));
    loadTranslations(QLocale());
}

QString QPEApplication::translationsFolder()
{
    return QDir::cleanPath(applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(TAVORIN_TRANSLATIONS_RELDIR));
}

bool QPEApplication::loadTranslations(const QLocale &locale, const QString &folder)
{
    for (QTranslator *translator : std::as_const(m_translators)) {
        removeTranslator(translator);
        delete translator;
    }
    m_translators.clear();

    // Installs the first catalogue of that name found in the folders, in their order.
    const auto install = [this, &locale](const QString &name, const QStringList &folders) {
        for (const QString &folder : folders) {
            auto *translator = new QTranslator(this);
            if (translator->load(locale, name, QStringLiteral("_"), folder)) {
                installTranslator(translator);
                m_translators.append(translator);
                return true;
            }
            delete translator;
        }
        return false;
    };

    const bool own =
        install(QStringLiteral("tavorin-settings"), { folder, QStringLiteral(":/i18n") });
    install(QStringLiteral("qtbase"), { QLibraryInfo::path(QLibraryInfo::TranslationsPath) });
    return own;
}

void QPEApplication::showMainWidget(QWidget *widget, bool nomax)
{
    if (nomax)
        widget->show();
    else
        widget->showMaximized();
}
