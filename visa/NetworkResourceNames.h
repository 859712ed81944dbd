#pragma once

#include <optional>
#include <string>
#include <vector>

#include "visa/MdnsService.h"

namespace kvt::visa {

// The resource names of what the network search finds, from both of its
// sources: the portmapper broadcast and multicast DNS.
class NetworkResourceNames {
public:
    // The name under which a resolved service is listed:
    // `TCPIP0::address::inst0::INSTR` for VXI-11 and LXI instruments,
    // `TCPIP0::address::port::SOCKET` for a raw SCPI socket; nullopt for any
    // other type, or a socket without a port.
    static std::optional<std::string> Of(const MdnsService& service);

    // Every name once, ordered by host (IPv4 addresses by value, so 10.0.0.9
    // comes before 10.0.0.10), then INSTR before SOCKET, then by port.
    static std::vector<std::string> Merge(std::vector<std::string> names);
};

}  // namespace kvt::visa
