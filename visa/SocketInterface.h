#pragma once

#include "visa/InterfaceProvider.h"

namespace kvt::visa {

// Opens raw TCP sessions to `TCPIP[n]::host::port::SOCKET` resources. Such
// resources are not discoverable, so nothing is listed.
class SocketInterface : public InterfaceProvider {
public:
    bool Serves(const ResourceName& name) const override;
    ViStatus Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                  std::unique_ptr<Session>& session) override;
};

}  // namespace kvt::visa
