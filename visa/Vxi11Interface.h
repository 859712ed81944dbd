#pragma once

#include <cstdint>

#include "visa/InterfaceProvider.h"

namespace kvt::visa {

// Opens `TCPIP[n]::host[::device]::INSTR` over VXI-11: asks the host's
// portmapper (TCP port 111) for the core channel's port, then creates the
// link. KORVATA_VISA_PORTMAPPER_PORT names another portmapper port (a test
// aid for a portmapper that is not the system one).
//
// Lists the instruments on the networks of every interface that can
// broadcast, as `TCPIP0::address::inst0::INSTR`: those whose portmapper
// answers a broadcast lookup of the core channel within a second. With
// another portmapper port set, the portmapper on this host's loopback is
// asked too (where a simulated instrument usually sits). Where Avahi runs,
// the instruments it finds by multicast DNS are listed as well, raw SCPI
// sockets among them (`TCPIP0::address::port::SOCKET`, which
// SocketInterface opens); see NetworkSearch.
class Vxi11Interface : public InterfaceProvider {
public:
    static constexpr uint16_t kPortmapperPort = 111;

    bool Serves(const ResourceName& name) const override;
    std::vector<std::string> ListResources() override;
    std::vector<std::string> ListResourcesFor(const SearchExpression& search) override;
    bool MayFind(const SearchExpression& search) const override;
    ViStatus Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                  std::unique_ptr<Session>& session) override;

    // The portmapper port to ask: the setting when valid, else 111.
    static uint16_t PortmapperPort();
};

}  // namespace kvt::visa
