#include "platform/config.h"

#include "platform/fileowner.h"
#include "platform/logging.h"

#include <QDir>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

Config::Config(const QString &name, Domain domain)
{
    // Only the user domain exists here; a "file" domain names a path directly.
    if (domain == User) {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        m_fileName = dir + QLatin1Char('/') + name + QStringLiteral(".conf");
    } else {
        m_fileName = name;
    }
}

Config::~Config()
{
    if (!m_pending.isEmpty() && !commit())
        qCWarning(lcPlatform, "Could not write the settings store %s: %s", qPrintable(m_fileName),
                  qPrintable(m_errorString));
}

namespace {

// Which file is at path (its inode), or 0 when there is none; st gets its status.
ino_t fileId(const QString &path, struct stat *st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0 ? st->st_ino : 0;
}

// QSettings put a new file in place of the one described by before: it gets that one's
// owner and group back. Opened without following a link, so that no other file is given
// away in its place, nor one with another name elsewhere.
void keepOwner(const QString &path, const struct stat &before)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    QString error;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1
        && st.st_ino != before.st_ino && !FileOwner::keep(fd, before, &error))
        qCWarning(lcPlatform, "%s: %s", qPrintable(path), qPrintable(error));
    ::close(fd);
}

} // namespace

bool Config::commit()
{
    m_errorString.clear();
    if (m_pending.isEmpty())
        return true;
    const QMap<QString, QVariant> pending = std::exchange(m_pending, {});
    const QString folder = QFileInfo(m_fileName).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_errorString = QStringLiteral("the folder %1 could not be created").arg(folder);
        return false;
    }

    struct stat old;
    const ino_t before = fileId(m_fileName, &old);
    QSettings::Status status = QSettings::NoError;
    {
        QSettings settings(m_fileName, QSettings::IniFormat);
        for (auto it = pending.cbegin(); it != pending.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        status = settings.status();
    }
    // QSettings reports only its first error. A file that it cannot parse (a section
    // without its ']'; a byte-order mark or '#' comment lines, even after the write went
    // through) gives a FormatError, which then stands for the write's own result too.
    // The file tells: a write puts a new file in place of the old one (QSettings writes
    // through QSaveFile, by rename).
    struct stat now;
    const ino_t after = fileId(m_fileName, &now);
    const bool replaced = after != 0 && after != before;
    if (replaced && before != 0)
        keepOwner(m_fileName, old);
    if (status == QSettings::NoError || (status == QSettings::FormatError && replaced))
        return true;
    m_errorString = writeError();
    return false;
}

// Why the store's file cannot be written, as far as trying to open it for writing tells.
QString Config::writeError() const
{
    QSaveFile probe(m_fileName);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    probe.cancelWriting();
    return QStringLiteral("the new content could not be written in its place");
}

void Config::setGroup(const QString &group)
{
    m_group = group;
}

QString Config::fullKey(const QString &key) const
{
    return m_group.isEmpty() ? key : m_group + QLatin1Char('/') + key;
}

QVariant Config::value(const QString &key) const
{
    const QString full = fullKey(key);
    const auto pending = m_pending.constFind(full);
    if (pending != m_pending.cend())
        return *pending;
    QSettings settings(m_fileName, QSettings::IniFormat);
    return settings.value(full);
}

QString Config::readEntry(const QString &key, const QString &deflt) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return deflt;
    // An unquoted value with commas, as another program or a hand may write it
    // (symbols=.,?!), is read by QSettings as a list: joined back, it is the text written.
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

int Config::readNumEntry(const QString &key, int deflt) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return deflt;
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    return ok ? n : deflt;
}

void Config::writeEntry(const QString &key, const QString &value)
{
    m_pending.insert(fullKey(key), value);
}

void Config::writeEntry(const QString &key, int value)
{
    m_pending.insert(fullKey(key), value);
}
