#pragma once

#include <QString>

namespace Wire {

// Where the program listens for the bridges of its extensions: pagewarden-connector.socket in the
// user's runtime folder. Reading it changes nothing on disk.
QString connectorSocketPath();

} // namespace Wire
