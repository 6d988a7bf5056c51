#include "wire/ConnectorSocket.h"

#include "wire/RuntimeFolder.h"

namespace Wire {

QString connectorSocketPath() {
    return userRuntimeFolder() + QStringLiteral("/pagewarden-connector.socket");
}

} // namespace Wire
