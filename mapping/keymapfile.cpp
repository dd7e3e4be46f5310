#include "mapping/keymapfile.h"

#include <QFile>
#include <QHashFunctions>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
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

// Opens a regular file for reading. Its type is looked at (after following links) before
// the open, since opening a FIFO waits for a writer and a device reads without end, and
// again on the open descriptor, in case something else took its place in between; the
// open itself never waits.
KeyMapFile::Status openRegular(const QString &path, QFile *file, struct stat *st, QString *error)
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
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errnoString();
        return KeyMapFile::Status::Unreadable;
    }
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        *error = notRegular(st->st_mode);
        ::close(fd);
        return KeyMapFile::Status::NotRegular;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = file->errorString();
        ::close(fd);
        return KeyMapFile::Status::Unreadable;
    }
    return KeyMapFile::Status::Read;
}

// Puts what fill() writes in place of path, all or nothing, with the given permission
// bits, or with those of the file it replaces when mode is -1. Only a regular file that
// someone may write is replaced: QSaveFile follows a link and would put a regular file
// in place of a device node, and would give a read-only file mode 644 when the superuser
// runs it.
bool replace(const QString &path, int mode, const std::function<bool(QSaveFile &, QString *)> &fill,
             QString *errorString)
{
    struct stat st;
    const bool exists = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return fail(errorString, notRegular(st.st_mode));
    if (exists && !(st.st_mode & 0222))
        return fail(errorString,
                    QStringLiteral("it is read-only (mode %1)")
                        .arg(uint(st.st_mode & 07777), 3, 8, QLatin1Char('0')));
    if (mode < 0 && exists)
        mode = int(st.st_mode & 07777);

    // No direct-write fallback: where no temporary file can be made beside the file,
    // the old file is kept rather than truncated and rewritten in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(errorString, file.errorString());
    // Before the first byte, so that no one the mode excludes can read the content.
    if (mode >= 0 && ::fchmod(file.handle(), mode_t(mode)) != 0)
        return fail(errorString, errnoString());
    QString fillError; // a failure of the source the content comes from
    if (!fill(file, &fillError))
        return fail(errorString, fillError.isEmpty() ? file.errorString() : fillError);
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

} // namespace

KeyMapFile::Contents KeyMapFile::read(const QString &path, qint64 maxSize)
{
    Contents contents;
    QFile file;
    struct stat st;
    contents.status = openRegular(path, &file, &st, &contents.errorString);
    if (contents.status != Status::Read)
        return contents;
    if (st.st_size > maxSize) {
        contents.status = Status::TooLarge;
        contents.errorString =
            QStringLiteral("%1 bytes, more than %2").arg(st.st_size).arg(maxSize);
        return contents;
    }
    // One byte more than the file holds tells whether it grew past the limit meanwhile.
    contents.bytes = file.read(st.st_size + 1);
    if (file.error() != QFileDevice::NoError) {
        contents.status = Status::Unreadable;
        contents.errorString = file.errorString();
        contents.bytes.clear();
    } else if (contents.bytes.size() > maxSize) {
        contents.status = Status::TooLarge;
        contents.errorString = QStringLiteral("more than %1 bytes").arg(maxSize);
        contents.bytes.clear();
    } else {
        contents.fingerprint = QByteArray::number(contents.bytes.size()) + ' '
            + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
            + QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' '
            + QByteArray::number(qulonglong(qHashBits(contents.bytes.constData(),
                                                      size_t(contents.bytes.size()), 0)),
                                 16);
    }
    return contents;
}

bool KeyMapFile::write(const QString &path, const QByteArray &content, QString *errorString)
{
    return replace(
        path, -1,
        [&content](QSaveFile &file, QString *) { return file.write(content) == content.size(); },
        errorString);
}

QString KeyMapFile::backupPath(const QString &path)
{
    return path + QStringLiteral(".bak");
}

bool KeyMapFile::keepBackup(const QString &path, QString *errorString)
{
    QFile original;
    struct stat st;
    QString error;
    const Status status = openRegular(path, &original, &st, &error);
    if (status == Status::Missing)
        return fail(errorString, QStringLiteral("no such file"));
    if (status != Status::Read)
        return fail(errorString, error);
    // Copied a block at a time: however large the file has grown, memory stays small.
    const auto copy = [&original](QSaveFile &file, QString *error) {
        while (!original.atEnd()) {
            const QByteArray block = original.read(1 << 16);
            if (original.error() != QFileDevice::NoError) {
                *error = original.errorString();
                return false;
            }
            if (block.isEmpty())
                break;
            if (file.write(block) != block.size())
                return false;
        }
        return true;
    };
    // Never wider than the original: a private file stays private in its copy.
    return replace(backupPath(path), int(st.st_mode & 0777), copy, errorString);
}
