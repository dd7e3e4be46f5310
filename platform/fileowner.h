#ifndef FILEOWNER_H
#define FILEOWNER_H

#include <QString>

#include <sys/stat.h>

// A file written anew in place of another (or as its copy) belongs to whoever writes it.
// Run as root (sudo), the user's own files would become root's, and the user could no
// longer replace them; so the new file takes the owner and group of the old one.
namespace FileOwner {

// Gives the file open at fd the owner and group in like, where they differ. Only root
// can give a file away: for anyone else a refusal leaves the file theirs and is no
// failure. False, with errorString, when root could not.
bool keep(int fd, const struct stat &like, QString *errorString = nullptr);

} // namespace FileOwner

#endif // FILEOWNER_H
