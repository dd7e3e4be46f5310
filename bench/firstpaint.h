#ifndef FIRSTPAINT_H
#define FIRSTPAINT_H

#include "processinfo.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>

// Watches a top-level window for its first paint. Once that paint pass is over (the
// zero-millisecond timer runs only after the window's whole widget tree is painted and
// flushed to the screen), it prints the monotonic clock and this process's peak resident
// memory on one line of standard output and ends the event loop, or takes the next step
// it was given:
//     painted <nanoseconds> <peak kB>
// The benchmark that started the process subtracts its own reading taken just before the
// start. The same header serves the editor and the bare Qt program it is compared with.
class FirstPaintProbe : public QObject
{
public:
    explicit FirstPaintProbe(QWidget *window, std::function<void()> then = nullptr)
        : QObject(window)
        , m_then(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint) {
            m_seen = true;
            QTimer::singleShot(0, this, [this] {
                std::printf("painted %lld %lld\n", monotonicNs(), peakKb());
                std::fflush(stdout);
                if (m_then)
                    m_then();
                else // exit(), not quit(): quit() would close the window first, and closing saves
                    QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_then;
    bool m_seen = false;
};

#endif // FIRSTPAINT_H
