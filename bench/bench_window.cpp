// Time to window and peak memory: the editor opened on key mapping files of 0, 20, 200
// and 1,000 combinations, next to the bare Qt program of floor.cpp, all on a private X
// server (Xvfb, no window manager) and a private session bus, with settings and data in a
// temporary folder. The runs are interleaved (floor, 0, 20, 200, 1000, floor, ...), so
// that whatever else the machine does affects every program alike.
//
// Each run is timed from just before the process is spawned until the moment it reports
// its first paint as done (firstpaint.h), both on the monotonic clock. The editor at 1,000
// combinations is also run with the Physical Keyboard tab shown right after its first
// paint (window_probe.cpp), timed from the switch until the combinations in view are
// painted.
//
// With a fifth argument, close_probe.cpp, it also opens a list of 20,000 combinations
// until every one has its editor in the list, then closes it: peak memory, and the time
// from the close to the end of the process. With a sixth, bench_list.cpp, it times the
// list at 50,000 combinations. With a seventh, a folder holding the window probe and
// bench_list of an earlier build, it runs those too, interleaved with the current ones,
// and shows both side by side.
#include "processinfo.h"

#include "mapping/keymapformat.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
#include <map>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

const int sizes[] = { 0, 20, 200, 1000 };
const int keyboardTab = 1000; // the size also run with the Physical Keyboard tab shown
const int longList = 20000;
const int longListRounds = 3;
const int listRounds = 3;
const int listTimeoutMs = 600000; // the list before a change may be slow

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
    std::vector<QByteArray> command; // the program and its arguments
    QByteArray dataHome;
    int combinations = -1; // -1: the floor
    bool before = false; // the earlier build
    bool keyboard = false; // shows the Physical Keyboard tab after the first paint
    std::vector<double> ms; // time to window
    std::vector<double> peakKb;
    std::vector<double> tabMs; // the tab switch until its combinations are painted
};

// "-" for no measurement.
QByteArray format(const std::vector<double> &values)
{
    return values.empty() ? QByteArray("-") : QByteArray::number(median(values), 'f', 1);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s FLOOR PROBE [ROUNDS [LATER-TABLES-FILE [CLOSE-PROBE [LIST "
                     "[BASELINE-FOLDER]]]]]\n",
                     argv[0]);
        return 2;
    }
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
    const QByteArray listProgram = argc > 6 ? argv[6] : "";
    // The earlier build's programs, where it was built (bench/build-baseline.sh).
    const QString baseline = argc > 7 ? QFile::decodeName(argv[7]) : QString();
    const QByteArray beforeProbe = QFile::encodeName(baseline + "/bench_window_probe");
    const QByteArray beforeList = QFile::encodeName(baseline + "/bench_list");
    const bool withBefore = !baseline.isEmpty() && QFileInfo(beforeProbe).isExecutable()
        && QFileInfo(beforeList).isExecutable();
    if (!baseline.isEmpty() && !withBefore)
        std::fprintf(stderr, "no earlier build in %s: the current build alone\n", argv[7]);
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
    programs.push_back(
        { QStringLiteral("floor"), { argv[1] }, QByteArray(), -1, false, false, {}, {}, {} });
    for (int n : sizes) {
        const QString dataHome = root + QStringLiteral("/data-%1").arg(n);
        if (!writeMappingFile(dataHome, n))
            return 1;
        for (const bool before : { false, true }) {
            if (before && !withBefore)
                continue;
            const QByteArray probe = before ? beforeProbe : QByteArray(argv[2]);
            programs.push_back({ QStringLiteral("%1 combinations").arg(n),
                                 { probe },
                                 QFile::encodeName(dataHome),
                                 n,
                                 before,
                                 false,
                                 {},
                                 {},
                                 {} });
            if (n == keyboardTab)
                programs.push_back({ QStringLiteral("%1 combinations, keyboard tab").arg(n),
                                     { probe, "keyboard" },
                                     QFile::encodeName(dataHome),
                                     n,
                                     before,
                                     true,
                                     {},
                                     {},
                                     {} });
        }
    }
    const auto find = [&programs](int combinations, bool before, bool keyboard) -> Program * {
        for (Program &p : programs) {
            if (p.combinations == combinations && p.before == before && p.keyboard == keyboard)
                return &p;
        }
        return nullptr;
    };

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

    // One run: milliseconds from spawn to painted, and the peak memory, or for the tab the
    // time from the switch until it is painted; false on failure.
    const auto run = [&](Program &program, bool keep) {
        std::vector<QByteArray> env = baseEnv;
        env.push_back("XDG_DATA_HOME="
                      + (program.dataHome.isEmpty() ? QFile::encodeName(root + "/data-floor")
                                                    : program.dataHome));
        Child child;
        const long long start = monotonicNs();
        if (!spawn(program.command, env, 1, log, &child))
            return false;
        const QList<QByteArray> fields = readLine(child.out, 60000).split(' ');
        const QList<QByteArray> tab =
            program.keyboard ? readLine(child.out, 60000).split(' ') : QList<QByteArray>();
        int status = 0;
        bool ok = fields.size() == 3 && fields.at(0) == "painted"
            && (!program.keyboard || (tab.size() == 2 && tab.at(0) == "keyboard"));
        if (!ok) {
            kill(child.pid, SIGKILL);
            std::fprintf(stderr, "%s did not report its first paint (see %s)\n",
                         qPrintable(program.name), log.constData());
        }
        waitpid(child.pid, &status, 0);
        close(child.out);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ok && keep && program.keyboard) {
            program.tabMs.push_back(tab.at(1).toDouble());
        } else if (ok && keep) {
            program.ms.push_back((fields.at(1).toLongLong() - start) / 1e6);
            program.peakKb.push_back(fields.at(2).toDouble());
        }
        return ok;
    };

    // The list at 50,000 combinations: one measurement of one build per run.
    std::map<std::pair<QByteArray, bool>, std::vector<double>> listMs; // (what, before)
    const auto runList = [&](const QByteArray &what, bool before) {
        std::vector<QByteArray> env = baseEnv;
        env.push_back("XDG_DATA_HOME=" + QFile::encodeName(root + "/data-list"));
        Child child;
        if (!spawn({ before ? beforeList : listProgram, what }, env, 1, log, &child))
            return;
        const QList<QByteArray> fields = readLine(child.out, listTimeoutMs).split(' ');
        const bool ok = fields.size() == 2 && fields.at(0) == what;
        if (!ok) {
            kill(child.pid, SIGKILL);
            std::fprintf(stderr, "the list (%s, %s) did not report in %d s (see %s)\n",
                         what.constData(), before ? "before" : "now", listTimeoutMs / 1000,
                         log.constData());
        }
        waitpid(child.pid, nullptr, 0);
        close(child.out);
        if (ok)
            listMs[{ what, before }].push_back(fields.at(1).toDouble());
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
    if (argc > 5 && *argv[5]) {
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
    // The earlier build runs once: it may take minutes here.
    for (int round = 0; ok && !listProgram.isEmpty() && round < listRounds; ++round) {
        for (const QByteArray what : { "build-distinct", "build-alike", "add" }) {
            runList(what, false);
            if (withBefore && round == 0)
                runList(what, true);
        }
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
    std::printf("%-18s %10s %8s %10s %10s %10s %8s %8s\n", "program", "before ms", "x floor",
                "now ms", "min ms", "max ms", "x floor", "x 0");
    const Program *none = find(0, false, false);
    for (const Program &p : programs) {
        if (p.before || p.keyboard)
            continue;
        const Program *before = find(p.combinations, true, false);
        const auto [lo, hi] = std::minmax_element(p.ms.begin(), p.ms.end());
        std::printf("%-18s %10s %8s %10.1f %10.1f %10.1f %8.2f", qPrintable(p.name),
                    before ? format(before->ms).constData() : "-",
                    before ? QByteArray::number(median(before->ms) / floorMs, 'f', 2).constData()
                           : "-",
                    median(p.ms), *lo, *hi, median(p.ms) / floorMs);
        if (p.combinations >= 0)
            std::printf(" %8.2f", median(p.ms) / median(none->ms));
        std::printf("\n");
    }
    std::printf("targets: 20 and 1000 combinations <= 1.15x the floor and <= 1.05x 0 "
                "combinations\n");
    const Program *tab = find(keyboardTab, false, true);
    const Program *tabBefore = find(keyboardTab, true, true);
    std::printf("\n== 1b. Physical Keyboard tab shown right after the window: visible "
                "combinations painted (ms from the switch; median) ==\n");
    std::printf("%-18s %10s %10s\n", "program", "before ms", "now ms");
    std::printf("%-18s %10s %10s\n", qPrintable(QStringLiteral("%1 combinations").arg(keyboardTab)),
                tabBefore ? format(tabBefore->tabMs).constData() : "-",
                format(tab->tabMs).constData());
    std::printf("target: <= 100 ms\n");

    // The later tables go to their own file when one is named, to be printed last.
    FILE *later = argc > 4 ? std::fopen(argv[4], "w") : stdout;
    if (!later)
        return 1;
    std::fprintf(later, "\n== 4. Memory (peak resident set, VmHWM, at first paint; median) ==\n");
    std::fprintf(later, "%-18s %10s %8s\n", "program", "peak MB", "x floor");
    for (const Program &p : programs) {
        if (p.before || p.keyboard)
            continue;
        const double kb = median(p.peakKb);
        std::fprintf(later, "%-18s %10.1f %8.2f\n", qPrintable(p.name), kb / 1024, kb / floorKb);
    }
    if (!longPeakKb.empty()) {
        std::fprintf(
            later,
            "\n== 5. A long list (%d combinations, every combination in the list, then closed; "
            "median of %d runs) ==\n",
            longList, longListRounds);
        std::fprintf(later, "%-18s %10s %10s\n", "program", "peak MB", "close ms");
        std::fprintf(later, "%-18s %10.1f %10.1f\n",
                     qPrintable(QStringLiteral("%1 combinations").arg(longList)),
                     median(longPeakKb) / 1024, median(longCloseMs));
        std::fprintf(later, "targets: peak <= 250 MB, close < 1000 ms\n");
    }
    if (!listProgram.isEmpty()) {
        std::fprintf(later,
                     "\n== 6. The list at 50,000 combinations (bench_list.cpp; now the median "
                     "of %d runs, before one run) ==\n",
                     listRounds);
        std::fprintf(later, "%-52s %12s %12s\n", "", "before ms", "now ms");
        const std::pair<const char *, const char *> rows[] = {
            { "build-distinct", "built, all keys different" },
            { "build-alike", "built, all keys the same" },
            { "add", "\"Add Key Combination\" right after the start" },
        };
        for (const auto &[what, label] : rows) {
            std::fprintf(later, "%-52s %12s %12s\n", label,
                         format(listMs[{ what, true }]).constData(),
                         format(listMs[{ what, false }]).constData());
        }
        const std::vector<double> &alike = listMs[{ "build-alike", false }];
        const std::vector<double> &distinct = listMs[{ "build-distinct", false }];
        if (!alike.empty() && !distinct.empty())
            std::fprintf(later, "now: all alike take %.2fx the time of all different\n",
                         median(alike) / median(distinct));
        std::fprintf(later, "targets: all alike <= 1.5x all different; the add <= 100 ms\n");
    }
    if (later != stdout)
        std::fclose(later);
    return 0;
}
