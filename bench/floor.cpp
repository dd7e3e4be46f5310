// The floor for the time to window (bench_window): a bare Qt program showing a maximised window
// with two empty tabs. No editor built with Qt widgets opens faster.
#include "bench.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTabWidget window;
    window.addTab(new QWidget(&window), QStringLiteral("General"));
    window.addTab(new QWidget(&window), QStringLiteral("Physical Keyboard"));
    new PaintClock(&window, std::atoll(argv[argc - 1]));
    window.showMaximized();
    return app.exec();
}
