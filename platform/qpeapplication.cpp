#include "platform/qpeapplication.h"

#include <QWidget>

QPEApplication::QPEApplication(int &argc, char **argv, Type type)
    : QApplication(argc, argv)
    , m_type(type)
{
    setApplicationName(QStringLiteral("tavorin-settings"));
    setOrganizationName(QStringLiteral("Tavorin"));
    setApplicationVersion(QStringLiteral(TAVORIN_VERSION));
}

void QPEApplication::showMainWidget(QWidget *widget, bool nomax)
{
    if (nomax)
        widget->show();
    else
        widget->showMaximized();
}
