#include "bridge/SocketOwner.h"

#include <QFile>
#include <sys/stat.h>

SocketOwner socketOwner(const QString& path, uid_t ourUser) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return SocketOwner::Missing;
    if (!S_ISSOCK(info.st_mode))
        return SocketOwner::NotASocket;
    return info.st_uid == ourUser ? SocketOwner::Ours : SocketOwner::OtherUser;
}
