#ifndef STOREFILE_H
#define STOREFILE_H

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

// The settings store's file, as the program finds it in the test's own config folder.
inline QString storePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Tavorin.conf");
}

// Puts ini into the store's file as if another program had written it.
inline void writeStore(const QByteArray &ini)
{
    QDir().mkpath(QFileInfo(storePath()).absolutePath());
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ini);
    file.flush();
    // The store recognises a changed file by its time and size; two rewrites of the
    // same size within a millisecond would look unchanged.
    static int rewrites = 0;
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(++rewrites),
                             QFileDevice::FileModificationTime));
}

#endif // STOREFILE_H
