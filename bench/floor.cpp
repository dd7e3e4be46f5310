// The floor for the time to window: the least a Qt 6 program showing a maximised window
// with two empty tabs takes. No editor built with Qt widgets can open faster.
#include "bench.h"

#include <QTabWidget>

#include <cstdlib>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTabWidget window;
    window.addTab(new QWidget(&window), QStringLiteral("General"));
    window.addTab(new QWidget(&window), QStringLiteral("Physical Keyboard"));
    new PaintClock(&window, std::atoll(argv[argc - 1])); // started by bench_window
    window.showMaximized();
    return app.exec();
}
