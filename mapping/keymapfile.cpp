#include "mapping/keymapfile.h"

#include "platform/fileowner.h"

#include <QFile>
#include <QHashFunctions>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString *errorString, const QString &message)
{
    if (errorString)
        *errorString = message;
    return false;
}

QString errnoString()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString kindOf(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return QString();
    case S_IFIFO:
        return QStringLiteral("a FIFO");
    case S_IFCHR:
        return QStringLiteral("a character device");
    case S_IFBLK:
        return QStringLiteral("a block device");
    case S_IFSOCK:
        return QStringLiteral("a socket");
    case S_IFDIR:
        return QStringLiteral("a folder");
    }
    return QStringLiteral("not a file");
}

QString notRegular(mode_t mode)
{
    return QStringLiteral("it is %1, not a regular file").arg(kindOf(mode));
}

// A descriptor closed when it goes out of scope.
struct Descriptor
{
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int fd = -1;
};

// Opens a regular file for reading. Its type is looked at (after following links) before
// the open, since opening a FIFO waits for a writer and a device reads without end, and
// again on the open descriptor, in case something else took its place in between; the
// open itself never waits.
KeyMapFile::Status openRegular(const QString &path, Descriptor *file, struct stat *st,
                               QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return KeyMapFile::Status::Missing;
        *error = errnoString();
        return KeyMapFile::Status::Unreadable;
    }
    if (!S_ISREG(st->st_mode)) {
        *error = notRegular(st->st_mode);
        return KeyMapFile::Status::NotRegular;
    }
    file->fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file->fd < 0) {
        *error = errnoString();
        return KeyMapFile::Status::Unreadable;
    }
    if (::fstat(file->fd, st) != 0 || !S_ISREG(st->st_mode)) {
        *error = notRegular(st->st_mode);
        return KeyMapFile::Status::NotRegular;
    }
    ::fcntl(file->fd, F_SETFL, ::fcntl(file->fd, F_GETFL) & ~O_NONBLOCK);
    return KeyMapFile::Status::BytesRead;
}

// Reads from fd to its end, but not more than limit bytes; false, with errno, on an error.
// The buffer starts one byte larger than the size the file had, to see it grow.
bool readToEnd(int fd, qint64 size, qint64 limit, QByteArray *bytes)
{
    qint64 got = 0;
    bytes->resize(qMin(size + 1, limit));
    while (got < limit) {
        if (got == bytes->size())
            bytes->resize(qMin(2 * got, limit));
        const ssize_t n = ::read(fd, bytes->data() + got, size_t(bytes->size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += n;
    }
    bytes->truncate(got);
    return true;
}

bool sameTime(const timespec &a, const timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

KeyMapFile::Contents readOnce(const QString &path, qint64 maxSize, struct stat *st)
{
    using KeyMapFile::Status;
    KeyMapFile::Contents contents;
    Descriptor file;
    contents.status = openRegular(path, &file, st, &contents.errorString);
    if (contents.status != Status::BytesRead)
        return contents;
    if (st->st_size > maxSize) {
        contents.status = Status::TooLarge;
        contents.errorString =
            QStringLiteral("%1 bytes, more than %2").arg(st->st_size).arg(maxSize);
        return contents;
    }
    // One byte past the bound tells that the file grew past it meanwhile.
    const qint64 limit = maxSize < std::numeric_limits<qint64>::max() ? maxSize + 1 : maxSize;
    struct stat after;
    if (!readToEnd(file.fd, st->st_size, limit, &contents.bytes) || ::fstat(file.fd, &after) != 0) {
        contents.status = Status::Unreadable;
        contents.errorString = errnoString();
        contents.bytes.clear();
    } else if (contents.bytes.size() > maxSize) {
        contents.status = Status::TooLarge;
        contents.errorString = QStringLiteral("more than %1 bytes").arg(maxSize);
        contents.bytes.clear();
    } else if (contents.bytes.size() != st->st_size || after.st_size != st->st_size
               || !sameTime(after.st_mtim, st->st_mtim) || !sameTime(after.st_ctim, st->st_ctim)) {
        contents.changedWhileRead = true;
        contents.errorString = QStringLiteral("it changed while it was read");
    }
    return contents;
}

// A file that changes while it is read is read once more: a program that rewrites it in
// place is seldom caught twice.
KeyMapFile::Contents readFile(const QString &path, qint64 maxSize, struct stat *st)
{
    KeyMapFile::Contents contents = readOnce(path, maxSize, st);
    if (contents.changedWhileRead)
        contents = readOnce(path, maxSize, st);
    if (contents.status == KeyMapFile::Status::BytesRead && !contents.changedWhileRead)
        contents.fingerprint = QByteArray::number(contents.bytes.size()) + ' '
            + QByteArray::number(qulonglong(qHashBits(contents.bytes.constData(),
                                                      size_t(contents.bytes.size()), 0)),
                                 16);
    return contents;
}

// Puts what fill() writes in place of path, all or nothing. The new file takes the mode,
// owner and group of like (the file it replaces or copies); without like it is made as
// any new file. Only a regular file is replaced: QSaveFile follows a link and would put a
// regular file in place of a device node.
bool replace(const QString &path, const struct stat *like,
             const std::function<bool(QSaveFile &)> &fill, QString *errorString)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return fail(errorString, notRegular(st.st_mode));

    // No direct-write fallback: where no temporary file can be made beside the file,
    // the old file is kept rather than truncated and rewritten in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(errorString, file.errorString());
    // Before the first byte, so that no one the mode excludes can read the content; the
    // owner first, since a change of owner may clear mode bits.
    if (like) {
        if (!FileOwner::keep(file.handle(), *like, errorString))
            return false;
        if (::fchmod(file.handle(), like->st_mode & 07777) != 0)
            return fail(errorString, errnoString());
    }
    if (!fill(file))
        return fail(errorString, file.errorString());
    // A write that fails only while the buffer is flushed (a file-size limit, a full
    // disk) must be caught here: commit() has been seen to report success for it and
    // put the truncated file in place.
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return fail(errorString, file.errorString());
    if (::fsync(file.handle()) != 0)
        return fail(errorString, errnoString());
    if (!file.commit())
        return fail(errorString, file.errorString());
    return true;
}

bool writeAll(QSaveFile &file, const QByteArray &content)
{
    return file.write(content) == content.size();
}

// Makes room for a new newest backup: each one moves up a number, renamed rather than
// rewritten. Nothing moves unless every name in the row is free or a regular file.
bool shiftBackups(const QString &newest, QString *errorString)
{
    const auto name = [&newest](int i) {
        return i == 0 ? newest : newest + QLatin1Char('.') + QString::number(i);
    };
    for (int i = 0; i <= KeyMapFile::olderBackups; ++i) {
        struct stat st;
        if (::stat(QFile::encodeName(name(i)).constData(), &st) == 0 && !S_ISREG(st.st_mode))
            return fail(errorString, QStringLiteral("%1: %2").arg(name(i), notRegular(st.st_mode)));
    }
    // The oldest is dropped as the next oldest is renamed onto it.
    for (int i = KeyMapFile::olderBackups - 1; i >= 0; --i) {
        if (::rename(QFile::encodeName(name(i)).constData(),
                     QFile::encodeName(name(i + 1)).constData())
                != 0
            && errno != ENOENT)
            return fail(errorString, QStringLiteral("%1: %2").arg(name(i), errnoString()));
    }
    return true;
}

} // namespace

KeyMapFile::Contents KeyMapFile::read(const QString &path, qint64 maxSize)
{
    struct stat st;
    return readFile(path, maxSize, &st);
}

bool KeyMapFile::write(const QString &path, const QByteArray &content, QString *errorString)
{
    // A file without any write permission is kept, also when root could replace it.
    struct stat st;
    const bool exists = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && !(st.st_mode & 0222))
        return fail(errorString,
                    QStringLiteral("it is read-only (mode %1)")
                        .arg(uint(st.st_mode & 07777), 3, 8, QLatin1Char('0')));
    return replace(
        path, exists && S_ISREG(st.st_mode) ? &st : nullptr,
        [&content](QSaveFile &file) { return writeAll(file, content); }, errorString);
}

QString KeyMapFile::backupPath(const QString &path)
{
    return path + QStringLiteral(".bak");
}

bool KeyMapFile::keepBackup(const QString &path, QString *errorString)
{
    struct stat st;
    const Contents original = readFile(path, maxFileSize, &st);
    if (original.status == Status::Missing)
        return fail(errorString, QStringLiteral("no such file"));
    if (original.status != Status::BytesRead || original.changedWhileRead)
        return fail(errorString, original.errorString);
    const QString newest = backupPath(path);
    struct stat newestSt;
    const Contents kept = readFile(newest, maxFileSize, &newestSt);
    if (kept.status == Status::BytesRead && !kept.changedWhileRead && kept.bytes == original.bytes)
        return true;
    // A link moves up too, dangling or not: the new copy is written at no link's target.
    if (::lstat(QFile::encodeName(newest).constData(), &newestSt) == 0
        && !shiftBackups(newest, errorString))
        return false;
    // Never wider than the original: a private file stays private in its copy.
    return replace(
        newest, &st, [&original](QSaveFile &file) { return writeAll(file, original.bytes); },
        errorString);
}
