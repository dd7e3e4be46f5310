// The floor for the time to window: the least a Qt 6 program showing a maximised window
// with two empty tabs takes. No editor built with Qt widgets can open faster.
#include "firstpaint.h"

#include <QApplication>
#include <QTabWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTabWidget window;
    window.addTab(new QWidget(&window), QStringLiteral("General"));
    window.addTab(new QWidget(&window), QStringLiteral("Physical Keyboard"));
    new FirstPaintProbe(&window);
    window.showMaximized();
    return app.exec();
}
