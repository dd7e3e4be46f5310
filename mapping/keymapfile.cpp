#include "mapping/keymapfile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

bool fail(QString *errorString, const QString &message)
{
    if (errorString)
        *errorString = message;
    return false;
}

} // namespace

bool KeyMapFile::write(const QString &path, const QByteArray &content, QString *errorString)
{
    // No direct-write fallback: where no temporary file can be made beside the file,
    // the old file is kept rather than truncated and rewritten in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(errorString, file.errorString());

    if (file.write(content) != content.size())
        return fail(errorString, file.errorString());
    // A write that fails only while the buffer is flushed (a file-size limit, a full
    // disk) must be caught here: commit() has been seen to report success for it and
    // put the truncated file in place.
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return fail(errorString, file.errorString());
    if (::fsync(file.handle()) != 0)
        return fail(errorString, QString::fromLocal8Bit(std::strerror(errno)));

    if (!file.commit())
        return fail(errorString, file.errorString());
    return true;
}

QString KeyMapFile::backupPath(const QString &path)
{
    return path + QStringLiteral(".bak");
}

bool KeyMapFile::keepBackup(const QString &path, QString *errorString)
{
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return fail(errorString, original.errorString());
    const QByteArray content = original.readAll();
    if (original.error() != QFileDevice::NoError)
        return fail(errorString, original.errorString());
    return write(backupPath(path), content, errorString);
}
