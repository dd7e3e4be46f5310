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
    // $XDG_STATE_HOME/<app>/<file> ($XDG_STATE_HOME by default ~/.local/state): what the
    // program keeps for its next run. The folder is not made here.
    static QString stateFileName(const QString &app, const QString &file);
};

#endif // GLOBAL_H
