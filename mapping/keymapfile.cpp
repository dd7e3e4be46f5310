#include "mapping/keymapfile.h"

#include "platform/atomicfile.h"

#include <QFile>
#include <QHashFunctions>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using AtomicFile::Descriptor;
using AtomicFile::errnoString;

bool fail(QString *errorString, const QString &message)
{
    if (errorString)
        *errorString = message;
    return false;
}

QString notRegular(mode_t mode)
{
    return AtomicFile::notRegular(mode);
}

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
    return AtomicFile::write(path, content, errorString);
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
    // Only a regular file of its own is a copy: a link to the file itself reads the same.
    if (AtomicFile::find(newest, &newestSt, nullptr) == AtomicFile::Found::RegularFile) {
        const Contents kept = readFile(newest, maxFileSize, &newestSt);
        if (kept.status == Status::BytesRead && !kept.changedWhileRead
            && kept.bytes == original.bytes)
            return true;
    }
    // A link moves up too, dangling or not: the new copy is written at no link's target.
    if (::lstat(QFile::encodeName(newest).constData(), &newestSt) == 0
        && !shiftBackups(newest, errorString))
        return false;
    // Never wider than the original: a private file stays private in its copy.
    return AtomicFile::replace(newest, original.bytes, &st, errorString);
}
