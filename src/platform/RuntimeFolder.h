#pragma once

#include <QString>

// The folder for this user's sockets and locks while a session runs: $XDG_RUNTIME_DIR when the
// session has one, else a folder in the temporary folder named with the user's id. Reading it
// creates nothing; whoever puts a socket there makes the folder, for the user alone.
QString userRuntimeFolder();
