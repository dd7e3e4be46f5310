// Time to window and peak memory: the editor opened on key mapping files of 0, 20, 200
// and 1,000 combinations, next to the bare Qt program of floor.cpp, all on a private X
// server (Xvfb, no window manager) and a private session bus, with settings and data in a
// temporary folder. The runs are interleaved (floor, 0, 20, 200, 1000, floor, ...), so
// that whatever else the machine does affects every program alike.
//
// Each run is timed from just before the process is spawned until the moment it reports
// its first paint as done (firstpaint.h), both on the monotonic clock.
//
// With a fifth argument, close_probe.cpp, it also opens a list of 20,000 combinations
// until every one has its editor in the list, then closes it: peak memory, and the time
// from the close to the end of the process.
#include "mapping/keymapformat.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

const int sizes[] = { 0, 20, 200, 1000 };
const int longList = 20000;
const int longListRounds = 3;

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A child process whose standard output (or the given descriptor) comes through a pipe.
struct Child
{
    pid_t pid = -1;
    int out = -1;
};

// Starts argv[0] with the given environment; outFd of the child goes into the pipe,
// standard error into errPath.
bool spawn(const std::vector<QByteArray> &args, const std::vector<QByteArray> &env, int outFd,
           const QByteArray &errPath, Child *child)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], outFd);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    std::vector<char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const QByteArray &e : env)
        envp.push_back(const_cast<char *>(e.constData()));
    envp.push_back(nullptr);
    const int rc = posix_spawnp(&child->pid, argv[0], &actions, nullptr, argv.data(),
                                env.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(rc));
        return false;
    }
    child->out = fds[0];
    return true;
}

// One line from the pipe, waiting at most timeoutMs in all.
QByteArray readLine(int fd, int timeoutMs)
{
    QByteArray line;
    const long long deadline = monotonicNs() + timeoutMs * 1000000LL;
    char c;
    while (true) {
        const long long left = (deadline - monotonicNs()) / 1000000;
        if (left <= 0)
            return QByteArray();
        pollfd p{ fd, POLLIN, 0 };
        if (poll(&p, 1, int(left)) <= 0)
            continue;
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0)
            return QByteArray();
        if (c == '\n')
            return line;
        line += c;
    }
}

void stop(Child &child)
{
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        waitpid(child.pid, nullptr, 0);
        child.pid = -1;
    }
    if (child.out >= 0) {
        close(child.out);
        child.out = -1;
    }
}

bool writeMappingFile(const QString &dataHome, int combinations)
{
    QDir().mkpath(dataHome + QStringLiteral("/tavorin"));
    QString document = KeyMapFormat::documentStart();
    for (int i = 0; i < combinations; ++i) {
        document += KeyMapFormat::combinationStart();
        document += KeyMapFormat::keyLine(0x41 + i % 26, i % 2 ? 0x08 : 0);
        document += KeyMapFormat::keyLine(0x30 + i % 10, 0);
        document += KeyMapFormat::replacementLine(QStringLiteral("text %1").arg(i));
        document += KeyMapFormat::combinationEnd();
    }
    document += KeyMapFormat::documentEnd();
    QFile file(dataHome + QStringLiteral("/tavorin/hardware-keyboard.xml"));
    return file.open(QIODevice::WriteOnly) && file.write(KeyMapFormat::encode(document)) > 0;
}

struct Program
{
    QString name;
    QByteArray path;
    QByteArray dataHome;
    std::vector<double> ms;
    std::vector<double> peakKb;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FLOOR PROBE [ROUNDS [MEMORY-TABLE-FILE [CLOSE-PROBE]]]\n",
                     argv[0]);
        return 2;
    }
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
    signal(SIGPIPE, SIG_IGN);

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString root = dir.path();
    const QByteArray log = QFile::encodeName(root + QStringLiteral("/children.log"));
    QDir().mkpath(root + QStringLiteral("/config"));
    QDir().mkpath(root + QStringLiteral("/cache"));
    QDir().mkpath(root + QStringLiteral("/runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    std::vector<Program> programs;
    programs.push_back({ QStringLiteral("floor"), argv[1], QByteArray(), {}, {} });
    for (int n : sizes) {
        const QString dataHome = root + QStringLiteral("/data-%1").arg(n);
        if (!writeMappingFile(dataHome, n))
            return 1;
        programs.push_back({ QStringLiteral("%1 combinations").arg(n),
                             argv[2],
                             QFile::encodeName(dataHome),
                             {},
                             {} });
    }

    // A private X server: -displayfd tells which display number it took, once it is ready.
    Child xvfb;
    if (!spawn({ "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp" }, {},
               3, log, &xvfb))
        return 1;
    const QByteArray display = readLine(xvfb.out, 20000).trimmed();
    if (display.isEmpty()) {
        std::fprintf(stderr, "Xvfb did not start (see %s)\n", log.constData());
        stop(xvfb);
        return 1;
    }
    // A private session bus, so that the editor's messages go somewhere, as on a desktop.
    Child bus;
    if (!spawn({ "dbus-daemon", "--session", "--nofork", "--print-address=3" }, {}, 3, log, &bus)) {
        stop(xvfb);
        return 1;
    }
    const QByteArray busAddress = readLine(bus.out, 20000).trimmed();
    if (busAddress.isEmpty()) {
        std::fprintf(stderr, "dbus-daemon did not start\n");
        stop(bus);
        stop(xvfb);
        return 1;
    }

    std::vector<QByteArray> baseEnv;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (entry.startsWith("DISPLAY=") || entry.startsWith("WAYLAND_DISPLAY=")
            || entry.startsWith("XDG_") || entry.startsWith("QT_")
            || entry.startsWith("DBUS_SESSION_BUS_ADDRESS=")
            || entry.startsWith("SESSION_MANAGER="))
            continue;
        baseEnv.push_back(entry);
    }
    baseEnv.push_back("DISPLAY=:" + display);
    baseEnv.push_back("QT_QPA_PLATFORM=xcb");
    baseEnv.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress);
    baseEnv.push_back("XDG_CONFIG_HOME=" + QFile::encodeName(root + QStringLiteral("/config")));
    baseEnv.push_back("XDG_CACHE_HOME=" + QFile::encodeName(root + QStringLiteral("/cache")));
    baseEnv.push_back("XDG_RUNTIME_DIR=" + QFile::encodeName(root + QStringLiteral("/runtime")));

    // One run: milliseconds from spawn to painted, and the peak memory; false on failure.
    const auto run = [&](Program &program, bool keep) {
        std::vector<QByteArray> env = baseEnv;
        env.push_back("XDG_DATA_HOME="
                      + (program.dataHome.isEmpty() ? QFile::encodeName(root + "/data-floor")
                                                    : program.dataHome));
        Child child;
        const long long start = monotonicNs();
        if (!spawn({ program.path }, env, 1, log, &child))
            return false;
        const QList<QByteArray> fields = readLine(child.out, 60000).split(' ');
        int status = 0;
        bool ok = fields.size() == 3 && fields.at(0) == "painted";
        if (!ok) {
            kill(child.pid, SIGKILL);
            std::fprintf(stderr, "%s did not report its first paint (see %s)\n",
                         qPrintable(program.name), log.constData());
        }
        waitpid(child.pid, &status, 0);
        close(child.out);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ok && keep) {
            program.ms.push_back((fields.at(1).toLongLong() - start) / 1e6);
            program.peakKb.push_back(fields.at(2).toDouble());
        }
        return ok;
    };

    // The long list: every combination in the list, then a close, which saves as a user's does.
    // Returns false on failure; the child is ended however it went.
    const QString longHome = root + QStringLiteral("/data-%1").arg(longList);
    std::vector<double> longPeakKb, longCloseMs;
    const auto runLong = [&](const QByteArray &probe) {
        std::vector<QByteArray> env = baseEnv;
        env.push_back("XDG_DATA_HOME=" + QFile::encodeName(longHome));
        Child child;
        if (!spawn({ probe, QByteArray::number(longList) }, env, 1, log, &child))
            return false;
        const QList<QByteArray> fields = readLine(child.out, 300000).split(' ');
        bool ok = fields.size() == 3 && fields.at(0) == "built";
        int status = -1;
        const long long deadline = monotonicNs() + 120 * 1000000000LL;
        while (ok && waitpid(child.pid, &status, WNOHANG) == 0) {
            if (monotonicNs() > deadline) {
                ok = false;
                break;
            }
            usleep(1000);
        }
        const long long end = monotonicNs();
        if (!ok) {
            kill(child.pid, SIGKILL);
            waitpid(child.pid, &status, 0);
            std::fprintf(stderr, "the long list did not build and close (see %s)\n",
                         log.constData());
        }
        close(child.out);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ok) {
            longPeakKb.push_back(fields.at(2).toDouble());
            longCloseMs.push_back((end - fields.at(1).toLongLong()) / 1e6);
        }
        return ok;
    };

    bool ok = true;
    if (argc > 5) {
        ok = writeMappingFile(longHome, longList);
        for (int round = 0; ok && round < longListRounds; ++round)
            ok = runLong(argv[5]);
    }
    for (Program &program : programs) // warm-up: libraries, fonts and files in the page cache
        ok = ok && run(program, false);
    for (int round = 0; ok && round < rounds; ++round) {
        for (Program &program : programs)
            ok = ok && run(program, true);
    }
    stop(bus);
    stop(xvfb);
    if (!ok)
        return 1;

    const double floorMs = median(programs[0].ms);
    const double floorKb = median(programs[0].peakKb);
    std::printf("\n== 1. Time to window (spawn to first paint done; Xvfb 1024x768, "
                "median of %d interleaved runs) ==\n",
                rounds);
    std::printf("%-18s %10s %10s %10s %8s\n", "program", "median ms", "min ms", "max ms",
                "x floor");
    for (const Program &p : programs) {
        const auto [lo, hi] = std::minmax_element(p.ms.begin(), p.ms.end());
        std::printf("%-18s %10.1f %10.1f %10.1f %8.2f\n", qPrintable(p.name), median(p.ms), *lo,
                    *hi, median(p.ms) / floorMs);
    }
    std::printf("targets: 20 combinations <= 1.15x, 1000 combinations <= 2.00x\n");

    // The memory table goes to its own file when one is named, to be printed last.
    FILE *memory = argc > 4 ? std::fopen(argv[4], "w") : stdout;
    if (!memory)
        return 1;
    std::fprintf(memory, "\n== 4. Memory (peak resident set, VmHWM, at first paint; median) ==\n");
    std::fprintf(memory, "%-18s %10s %8s\n", "program", "peak MB", "x floor");
    for (const Program &p : programs) {
        const double kb = median(p.peakKb);
        std::fprintf(memory, "%-18s %10.1f %8.2f\n", qPrintable(p.name), kb / 1024, kb / floorKb);
    }
    if (!longPeakKb.empty()) {
        std::fprintf(
            memory,
            "\n== 5. A long list (%d combinations, every combination in the list, then closed; "
            "median of %d runs) ==\n",
            longList, longListRounds);
        std::fprintf(memory, "%-18s %10s %10s\n", "program", "peak MB", "close ms");
        std::fprintf(memory, "%-18s %10.1f %10.1f\n",
                     qPrintable(QStringLiteral("%1 combinations").arg(longList)),
                     median(longPeakKb) / 1024, median(longCloseMs));
        std::fprintf(memory, "targets: peak <= 250 MB, close < 1000 ms\n");
    }
    if (memory != stdout)
        std::fclose(memory);
    return 0;
}
