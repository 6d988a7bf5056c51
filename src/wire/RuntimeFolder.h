#pragma once

#include <QString>

// The user's private folder for files that live as long as the session: locks and sockets that
// another local user must never plant, replace or reach. $XDG_RUNTIME_DIR when it is set and only
// the user can write it; else a folder of ours in the temporary folder, made user-only (0700) and
// used only when it is a real folder that is ours and that nobody else can write; else one in the
// user's cache folder. Made when missing; empty only when none of these can be had.
QString userRuntimeFolder();
