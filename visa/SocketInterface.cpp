#include "visa/SocketInterface.h"

#include "visa/SocketSession.h"

namespace kvt::visa {

bool SocketInterface::Serves(const ResourceName& name) const {
    return name.kind == InterfaceKind::Tcpip && name.resourceClass == ResourceClass::Socket;
}

ViStatus SocketInterface::Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                               std::unique_ptr<Session>& session) {
    return SocketSession::Connect(name.Canonical(), name.board, name.host, name.port, openTimeoutMs,
                                  session);
}

}  // namespace kvt::visa
