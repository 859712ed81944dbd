#pragma once

#include "visa/InterfaceProvider.h"

namespace kvt::visa {

// Opens raw TCP sessions to `TCPIP[n]::host::port::SOCKET` resources. It
// lists nothing itself: the sockets that instruments announce by multicast
// DNS are listed with the rest of the network search, by Vxi11Interface.
class SocketInterface : public InterfaceProvider {
public:
    bool Serves(const ResourceName& name) const override;
    ViStatus Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                  std::unique_ptr<Session>& session) override;
};

}  // namespace kvt::visa
