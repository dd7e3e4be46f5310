#include "platform/config.h"

#include "platform/logging.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

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
    if (m_pending.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QSettings settings(m_fileName, QSettings::IniFormat);
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcPlatform, "Could not write the settings store %s", qPrintable(m_fileName));
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
