// Loaded into the program with LD_PRELOAD by the end-to-end tests: every rename onto a
// file whose base name is E2E_FAIL_RENAME_TARGET fails with EBUSY, as it does when
// that file is a mount point. Creating, writing and flushing a file beside it still
// work, so only the last step of an atomic replacement fails, whatever the user's
// rights (root included). Each refused rename appends the target's path to the file
// E2E_FAIL_RENAME_LOG, so the test can tell that the fault was really hit. With
// E2E_RENAME_SIGINT set, the rename is sent SIGINT instead (a Ctrl+C at that moment)
// and then goes through.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isTarget(const char *path)
{
    const char *target = std::getenv("E2E_FAIL_RENAME_TARGET");
    if (!target || !*target || !path)
        return false;
    const char *slash = std::strrchr(path, '/');
    return std::strcmp(slash ? slash + 1 : path, target) == 0;
}

// -1 for a refused rename, 0 for one to let through.
int onTargetRename(const char *path)
{
    if (const char *log = std::getenv("E2E_FAIL_RENAME_LOG")) {
        const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const std::size_t length = std::strlen(path);
            bool ok = ::write(fd, path, length) == static_cast<ssize_t>(length);
            ok = ok && ::write(fd, "\n", 1) == 1;
            (void)ok; // the log only helps a failing test explain itself
            ::close(fd);
        }
    }
    if (std::getenv("E2E_RENAME_SIGINT"))
        return ::kill(::getpid(), SIGINT);
    errno = EBUSY;
    return -1;
}

template <typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

int rename(const char *from, const char *to) noexcept
{
    if (isTarget(to) && onTargetRename(to) != 0)
        return -1;
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    return real(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to) noexcept
{
    if (isTarget(to) && onTargetRename(to) != 0)
        return -1;
    static const auto real = next<int (*)(int, const char *, int, const char *)>("renameat");
    return real(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags) noexcept
{
    if (isTarget(to) && onTargetRename(to) != 0)
        return -1;
    static const auto real =
        next<int (*)(int, const char *, int, const char *, unsigned)>("renameat2");
    return real(fromDir, from, toDir, to, flags);
}

} // extern "C"
