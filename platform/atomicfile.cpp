#include "platform/atomicfile.h"

#include "platform/fileowner.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool fail(QString *errorString, const QString &message)
{
    if (errorString)
        *errorString = message;
    return false;
}

using AtomicFile::Descriptor;
using AtomicFile::errnoString;

bool writeAll(int fd, const QByteArray &content)
{
    const char *data = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// A new file beside path that no one else has opened: a fresh name, made exclusively and
// without following a link. Empty name and -1 when none could be made.
int createBeside(const QString &path, mode_t mode, QByteArray *name)
{
    const QFileInfo info(path);
    const QByteArray prefix =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName());
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = prefix + '.'
            + QByteArray::number(QRandomGenerator::global()->generate64(), 36).right(8);
        const int fd =
            ::open(name->constData(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

QString AtomicFile::errnoString()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

AtomicFile::Descriptor::~Descriptor()
{
    if (fd >= 0)
        ::close(fd);
}

QString AtomicFile::notRegular(mode_t mode)
{
    const char *kind = "not a file";
    switch (mode & S_IFMT) {
    case S_IFIFO:
        kind = "a FIFO";
        break;
    case S_IFCHR:
        kind = "a character device";
        break;
    case S_IFBLK:
        kind = "a block device";
        break;
    case S_IFSOCK:
        kind = "a socket";
        break;
    case S_IFDIR:
        kind = "a folder";
        break;
    }
    return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(kind));
}

AtomicFile::Found AtomicFile::find(const QString &path, struct stat *st, QString *errorString)
{
    const QByteArray name = QFile::encodeName(path);
    // O_PATH opens the name itself without touching what it is: no FIFO waits, no device
    // is opened, and a link is described as a link.
    const Descriptor file(::open(name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (file.fd < 0 || ::fstat(file.fd, st) != 0)
        return Found::Nothing;
    if (S_ISREG(st->st_mode))
        return Found::RegularFile;
    if (S_ISLNK(st->st_mode)) {
        struct stat target;
        if (::stat(name.constData(), &target) != 0 || S_ISREG(target.st_mode))
            return Found::Link;
        *st = target;
    }
    fail(errorString, notRegular(st->st_mode));
    return Found::Other;
}

bool AtomicFile::replace(const QString &path, const QByteArray &content, const struct stat *like,
                         QString *errorString)
{
    const QString folder = QFileInfo(path).absolutePath();
    const Descriptor dir(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0)
        return fail(errorString, QStringLiteral("%1: %2").arg(folder, errnoString()));
    QByteArray name;
    // Private until it has its owner and mode, so that no one the mode excludes can read it.
    const bool keepMode = like && S_ISREG(like->st_mode);
    const Descriptor file(createBeside(path, keepMode ? 0600 : 0666, &name));
    if (file.fd < 0)
        return fail(errorString, errnoString());
    const auto failAndRemove = [&](const QString &message) {
        ::unlink(name.constData());
        return fail(errorString, message);
    };
    // The owner first, since a change of owner may clear mode bits.
    QString ownerError;
    struct stat folderSt;
    if (like) {
        if (!FileOwner::keep(file.fd, *like, &ownerError))
            return failAndRemove(ownerError);
        if (keepMode && ::fchmod(file.fd, like->st_mode & 07777) != 0)
            return failAndRemove(errnoString());
    } else if (::geteuid() == 0 && ::fstat(dir.fd, &folderSt) == 0
               && !FileOwner::keep(file.fd, folderSt, &ownerError)) {
        return failAndRemove(ownerError);
    }
    if (!writeAll(file.fd, content) || ::fsync(file.fd) != 0)
        return failAndRemove(errnoString());
    if (::rename(name.constData(), QFile::encodeName(path).constData()) != 0)
        return failAndRemove(errnoString());
    // The rename itself on disk too, before anyone is told the file is there.
    ::fsync(dir.fd);
    return true;
}

bool AtomicFile::write(const QString &path, const QByteArray &content, QString *errorString)
{
    struct stat st;
    switch (find(path, &st, errorString)) {
    case Found::Other:
        return false;
    case Found::RegularFile:
        // A file without any write permission is kept, also when root could replace it.
        if (!(st.st_mode & 0222))
            return fail(errorString,
                        QStringLiteral("it is read-only (mode %1)")
                            .arg(uint(st.st_mode & 07777), 3, 8, QLatin1Char('0')));
        return replace(path, content, &st, errorString);
    case Found::Link: {
        // The link is what is replaced: its owner, and the mode of a file it leads to.
        struct stat target;
        if (::stat(QFile::encodeName(path).constData(), &target) == 0)
            st.st_mode = target.st_mode;
        return replace(path, content, &st, errorString);
    }
    case Found::Nothing:
        break;
    }
    return replace(path, content, nullptr, errorString);
}

bool AtomicFile::makeFolder(const QString &path, QString *errorString)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    struct stat st;
    if (::stat(QFile::encodeName(absolute).constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        return fail(errorString, QStringLiteral("%1: %2").arg(absolute, notRegular(st.st_mode)));
    }
    const QString parent = QFileInfo(absolute).absolutePath();
    if (parent != absolute && !makeFolder(parent, errorString))
        return false;
    const QByteArray name = QFile::encodeName(absolute);
    if (::mkdir(name.constData(), 0777) != 0)
        // Made by someone else meanwhile: theirs, as it is.
        return errno == EEXIST
            || fail(errorString, QStringLiteral("%1: %2").arg(absolute, errnoString()));
    if (::geteuid() != 0)
        return true;
    const Descriptor made(
        ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat parentSt;
    if (made.fd < 0 || ::stat(QFile::encodeName(parent).constData(), &parentSt) != 0)
        return fail(errorString, QStringLiteral("%1: %2").arg(absolute, errnoString()));
    QString ownerError;
    if (!FileOwner::keep(made.fd, parentSt, &ownerError))
        return fail(errorString, QStringLiteral("%1: %2").arg(absolute, ownerError));
    return true;
}

bool AtomicFile::readRegular(const QString &path, qint64 maxSize, QByteArray *bytes,
                             QString *errorString)
{
    bytes->clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR || fail(errorString, errnoString());
    if (!S_ISREG(st.st_mode))
        return fail(errorString, notRegular(st.st_mode));
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0)
        return fail(errorString, errnoString());
    if (!S_ISREG(st.st_mode))
        return fail(errorString, notRegular(st.st_mode));
    if (st.st_size > maxSize)
        return fail(errorString, QStringLiteral("more than %1 bytes").arg(maxSize));
    bytes->resize(st.st_size);
    qint64 got = 0;
    while (got < bytes->size()) {
        const ssize_t n = ::read(file.fd, bytes->data() + got, size_t(bytes->size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errorString, errnoString());
        if (n == 0)
            break;
        got += n;
    }
    bytes->truncate(got);
    return true;
}
