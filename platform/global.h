#ifndef GLOBAL_H
#define GLOBAL_H

#include <QString>

// Per-application services of the platform.
class Global
{
public:
    // <generic data location>/<app>/<file>; creates the folder when it is missing.
    // The same arguments give the same path for the whole run.
    static QString applicationFileName(const QString &app, const QString &file);
};

#endif // GLOBAL_H
