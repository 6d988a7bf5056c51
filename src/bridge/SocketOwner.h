#pragma once

#include <QString>
#include <sys/types.h>

// What stands at the program's socket path, seen before the bridge connects. In a runtime folder
// only the user can write to, anything there is theirs; but the fallback folder sits in the shared
// temporary folder, where another user could put a socket of their own first. The bridge connects
// only to a socket its own user owns, never through a link.
enum class SocketOwner { Missing, Ours, OtherUser, NotASocket };

SocketOwner socketOwner(const QString& path, uid_t ourUser);
