#include "wire/ConnectorSocket.h"

#include "platform/RuntimeFolder.h"

namespace Wire {

QString connectorSocketPath() {
    return userRuntimeFolder() + QStringLiteral("/pagewarden-connector.socket");
}

} // namespace Wire
