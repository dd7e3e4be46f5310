#ifndef ATOMICFILE_H
#define ATOMICFILE_H

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// Puts files in place whole or not at all, and never through a symbolic link: the content
// goes into a new file beside the name (made with O_CREAT | O_EXCL | O_NOFOLLOW, so that
// nothing planted there is opened), is synced, and is renamed over the name. A link at
// the name is replaced, not followed. Run as root in another user's folder, nothing the
// editor writes or makes ends up root's.
namespace AtomicFile {

// What replace() finds at path, the name itself (a link is not followed).
enum class Found {
    Nothing,
    RegularFile, // st describes it
    Link, // to a regular file or to nothing: the link is replaced, not what it leads to
    Other, // a folder, FIFO, device or socket, or a link to one: never replaced
};
Found find(const QString &path, struct stat *st, QString *errorString);

// Replaces what is at path with content. The new file takes the owner, group and mode of
// like (the file it replaces or copies; of a link only the owner and group); without like
// it is made as a new file: the default mode, and when run as root the owner and group of
// the folder it is made in.
// On failure nothing at path has changed and errorString says why.
bool replace(const QString &path, const QByteArray &content, const struct stat *like,
             QString *errorString);

// Replaces the file at path with content, keeping its owner, group and mode. A file
// without any write permission is kept, also for the superuser, and only a regular file
// or a link is replaced. A link takes the owner and group it had, and the mode of the
// file it led to.
bool write(const QString &path, const QByteArray &content, QString *errorString);

// Makes the folder and any missing folder above it. Run as root, each one made gets the
// owner and group of the folder it is made in.
bool makeFolder(const QString &path, QString *errorString = nullptr);

// The whole of a regular file of at most maxSize bytes, following links; nothing else is
// opened (a FIFO would wait for a writer). False with errorString when it exists but
// cannot be read; a missing file reads as empty.
bool readRegular(const QString &path, qint64 maxSize, QByteArray *bytes, QString *errorString);

// Why mode is not that of a regular file, e.g. "it is a FIFO, not a regular file".
QString notRegular(mode_t mode);

// The text of errno as it stands.
QString errnoString();

// A file descriptor closed when it goes out of scope; -1 for none.
struct Descriptor
{
    explicit Descriptor(int fd = -1)
        : fd(fd)
    {
    }
    ~Descriptor();
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd;
};

} // namespace AtomicFile

#endif // ATOMICFILE_H
