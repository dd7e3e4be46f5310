#include "platform/fileowner.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

bool FileOwner::keep(int fd, const struct stat &like, QString *errorString)
{
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_uid == like.st_uid && st.st_gid == like.st_gid)
        return true;
    if (::fchown(fd, like.st_uid, like.st_gid) == 0 || ::geteuid() != 0)
        return true;
    if (errorString)
        *errorString = QStringLiteral("its owner could not be kept (%1)")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}
