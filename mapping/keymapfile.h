#ifndef KEYMAPFILE_H
#define KEYMAPFILE_H

#include <QByteArray>
#include <QString>

// Reading and replacing the key mapping file without ever blocking on it, leaving it
// half-written, or touching anything that is not a regular file.
namespace KeyMapFile {

// The largest key mapping file the editor edits. A larger one is neither loaded nor
// replaced: 16 MiB hold some 120,000 combinations as the program writes them, and the
// editor keeps its memory and its close time bounded up to 50,000.
constexpr qint64 maxFileSize = 16 * 1024 * 1024;
constexpr int maxCombinations = 50000;

enum class Status {
    BytesRead, // a regular file within the limit, every byte read (whether its XML was read
               // to its end is the reader's to say)
    Missing, // nothing at the path, or a link to nothing
    NotRegular, // a FIFO, device, socket or folder: never opened
    TooLarge, // a regular file larger than the limit: not read
    Unreadable, // a regular file that could not be opened or read
};

struct Contents
{
    Status status = Status::Missing;
    QByteArray bytes; // the whole file when status is BytesRead
    // Size and a hash of the bytes; empty unless status is BytesRead and the file held still
    // while it was read. Two reads give the same fingerprint only when the file holds
    // the same bytes: one only touched, or rewritten as it was, has not changed.
    QByteArray fingerprint;
    // The file changed while it was read, and again when read once more: bytes may mix
    // old and new content and are to be taken as read only in part.
    bool changedWhileRead = false;
    QString errorString; // why the status is not BytesRead, or why the file changed
};

// Reads the file at path, after following links, if it is a regular file of at most
// maxSize bytes. Anything else is never opened, so nothing can block here.
Contents read(const QString &path, qint64 maxSize = maxFileSize);

// Writes content to a new file beside path and puts it in place only once every byte is
// written and on disk (AtomicFile::write); the file keeps its mode, owner and group. A
// link at path is replaced, never written through. A file without any write permission
// is left as it is, also for the superuser. On failure the file at path is left exactly
// as it was and errorString says why.
bool write(const QString &path, const QByteArray &content, QString *errorString = nullptr);

// Where keepBackup() puts the newest copy: path + ".bak". Older ones are numbered
// ".bak.1" (the next newest) to ".bak.<olderBackups>".
QString backupPath(const QString &path);
constexpr int olderBackups = 5;

// Copies the regular file at path, as it is now, to backupPath(path) with the same
// mode, owner and group, written the same safe way as write(). A copy never replaces
// another: an older one moves up a number (by renaming, so a read-only copy moves as
// well), and the one beyond the last number is dropped. A copy identical to the newest
// is not made again (only a regular file at the newest's name is a copy: a link to the
// file itself is not). A file larger than maxFileSize, or not regular, is not copied.
bool keepBackup(const QString &path, QString *errorString = nullptr);

} // namespace KeyMapFile

#endif // KEYMAPFILE_H
