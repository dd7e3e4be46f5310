#include "platform/global.h"

#include "platform/logging.h"

#include <QDir>
#include <QStandardPaths>

QString Global::applicationFileName(const QString &app, const QString &file)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QLatin1Char('/') + app;
    if (!QDir().mkpath(dir))
        qCWarning(lcPlatform, "Could not create the data folder %s", qPrintable(dir));
    return dir + QLatin1Char('/') + file;
}
