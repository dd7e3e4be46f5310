#include "platform/global.h"

#include "platform/atomicfile.h"
#include "platform/logging.h"

#include <QDir>
#include <QStandardPaths>

QString Global::applicationFileName(const QString &app, const QString &file)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QLatin1Char('/') + app;
    QString error;
    if (!AtomicFile::makeFolder(dir, &error))
        qCWarning(lcPlatform, "Could not create the data folder %s: %s", qPrintable(dir),
                  qPrintable(error));
    return dir + QLatin1Char('/') + file;
}

QString Global::stateFileName(const QString &app, const QString &file)
{
    // Qt 6.4 has no StateLocation; an unset or relative value means the default.
    QString dir = qEnvironmentVariable("XDG_STATE_HOME");
    if (QStandardPaths::isTestModeEnabled())
        dir = QDir::homePath() + QStringLiteral("/.qttest/state");
    else if (!QDir::isAbsolutePath(dir))
        dir = QDir::homePath() + QStringLiteral("/.local/state");
    return dir + QLatin1Char('/') + app + QLatin1Char('/') + file;
}
