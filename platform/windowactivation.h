#ifndef WINDOWACTIVATION_H
#define WINDOWACTIVATION_H

#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Brings a window forward for a later start of the program, with what the launcher gave
// that start as proof that the user asked for it: a startup notification id on X11
// (DESKTOP_STARTUP_ID), an xdg-activation token on Wayland (XDG_ACTIVATION_TOKEN). Without
// it a desktop with focus-stealing prevention only marks the window as wanting attention,
// and the launcher's busy cursor waits for its timeout.
class WindowActivation
{
public:
    static void activate(QWidget *window, const QString &startupId, const QString &activationToken);
};

#endif // WINDOWACTIVATION_H
