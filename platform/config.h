#ifndef CONFIG_H
#define CONFIG_H

#include <QMap>
#include <QString>
#include <QVariant>

// A named settings store with groups and typed entries. The user domain keeps
// store <name> as the INI file <generic config location>/<name>.conf.
//
// Writes are collected in the handle and reach the file when commit() is called or,
// at the latest, when the handle is released.
class Config
{
public:
    enum Domain { File = 0, User = 1 };

    explicit Config(const QString &name, Domain domain = User);
    ~Config();

    Config(const Config &) = delete;
    Config &operator=(const Config &) = delete;

    void setGroup(const QString &group);

    // The stored text, or deflt when the key is absent. A value written without quotes
    // that QSettings reads as a list (symbols=.,?!) comes back joined with commas.
    QString readEntry(const QString &key, const QString &deflt = QString()) const;
    // A stored value that is not a whole number gives the default.
    int readNumEntry(const QString &key, int deflt = -1) const;

    void writeEntry(const QString &key, const QString &value);
    void writeEntry(const QString &key, int value);
    // Without this overload a string literal would pick the int one through bool.
    void writeEntry(const QString &key, const char *value)
    {
        writeEntry(key, QString::fromUtf8(value));
    }

    // Writes what was written through this handle to the file now, replacing the file
    // as a whole. False when it could not be written (the old file then stays as it
    // was); errorString() says why. Either way nothing is left to commit.
    bool commit();
    QString errorString() const { return m_errorString; }

    // Where the store lives; for the user domain it is fixed by the name alone.
    QString fileName() const { return m_fileName; }

    // A larger store is not rewritten: the editor's own is a few lines.
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;

private:
    QVariant value(const QString &key) const;
    QString fullKey(const QString &key) const;

    QString m_fileName;
    QString m_group;
    QMap<QString, QVariant> m_pending; // written, not yet committed
    QString m_errorString;
};

#endif // CONFIG_H
