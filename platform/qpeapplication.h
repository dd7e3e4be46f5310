#ifndef QPEAPPLICATION_H
#define QPEAPPLICATION_H

#include <QApplication>

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

private:
    Type m_type;
};

#endif // QPEAPPLICATION_H
