#include "platform/config.h"

#include "platform/atomicfile.h"
#include "platform/logging.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

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

bool Config::commit()
{
    m_errorString.clear();
    if (m_pending.isEmpty())
        return true;
    const QMap<QString, QVariant> pending = std::exchange(m_pending, {});
    const QString folder = QFileInfo(m_fileName).absolutePath();
    if (!AtomicFile::makeFolder(folder, &m_errorString))
        return false;

    // QSettings writes wherever a link leads and as whoever runs it: it works on a private
    // copy, whose bytes are then put in place as every file of the editor is (AtomicFile).
    QByteArray old;
    if (!AtomicFile::readRegular(m_fileName, maxFileSize, &old, &m_errorString))
        return false;
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("store.conf"));
    QFile copyFile(copy);
    if (!scratch.isValid() || !copyFile.open(QIODevice::WriteOnly)
        || copyFile.write(old) != old.size() || !copyFile.flush()) {
        m_errorString =
            QStringLiteral("no private copy could be made: %1")
                .arg(scratch.isValid() ? copyFile.errorString() : scratch.errorString());
        return false;
    }
    copyFile.close();
    const QDateTime copied = QFileInfo(copy).lastModified();
    QSettings::Status status = QSettings::NoError;
    {
        QSettings settings(copy, QSettings::IniFormat);
        for (auto it = pending.cbegin(); it != pending.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        status = settings.status();
    }
    // QSettings reports only its first error. A file that it cannot parse (a section
    // without its ']'; a byte-order mark or '#' comment lines, even after the write went
    // through) gives a FormatError, which then stands for the write's own result too.
    // The copy tells: a write puts a new file in its place.
    QByteArray updated;
    const bool rewritten = AtomicFile::readRegular(copy, maxFileSize, &updated, nullptr)
        && (updated != old || QFileInfo(copy).lastModified() != copied);
    if (status != QSettings::NoError && !(status == QSettings::FormatError && rewritten)) {
        m_errorString = QStringLiteral("the new content could not be written");
        return false;
    }
    return AtomicFile::write(m_fileName, updated, &m_errorString);
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
