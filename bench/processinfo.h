#ifndef PROCESSINFO_H
#define PROCESSINFO_H

#include <QByteArray>
#include <QFile>
#include <QString>

#include <ctime>

// What the benchmark programs report about themselves; Qt Core only, so that the bare
// floor program can use it too.

// The monotonic clock in nanoseconds, comparable between processes.
inline long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// This process's peak resident set (VmHWM) in kB, or -1.
inline long long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

#endif // PROCESSINFO_H
