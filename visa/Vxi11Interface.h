#pragma once

#include <cstdint>

#include "visa/InterfaceProvider.h"

namespace kvt::visa {

// Opens `TCPIP[n]::host[::device]::INSTR` over VXI-11: asks the host's
// portmapper (TCP port 111) for the core channel's port, then creates the
// link. KORVATA_VISA_PORTMAPPER_PORT names another portmapper port (a test
// aid for a portmapper that is not the system one).
class Vxi11Interface : public InterfaceProvider {
public:
    static constexpr uint16_t kPortmapperPort = 111;

    bool Serves(const ResourceName& name) const override;
    ViStatus Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                  std::unique_ptr<Session>& session) override;

    // The portmapper port to ask: the setting when valid, else 111.
    static uint16_t PortmapperPort();
};

}  // namespace kvt::visa
