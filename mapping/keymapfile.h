#ifndef KEYMAPFILE_H
#define KEYMAPFILE_H

#include <QByteArray>
#include <QString>

// Replacing the key mapping file without ever leaving it half-written.
namespace KeyMapFile {

// Writes content to a temporary file beside path and puts it in place only once
// every byte is written and on disk; the file keeps its permissions. On failure the
// file at path is left exactly as it was and errorString says why.
bool write(const QString &path, const QByteArray &content, QString *errorString = nullptr);

// Where keepBackup() puts the copy: path + ".bak".
QString backupPath(const QString &path);

// Copies the file at path, as it is now, to backupPath(path), replacing an older
// copy the same safe way as write().
bool keepBackup(const QString &path, QString *errorString = nullptr);

} // namespace KeyMapFile

#endif // KEYMAPFILE_H
