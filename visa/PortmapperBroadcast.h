#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace kvt::visa {

// Finds VXI-11 instruments by asking every portmapper within reach at once:
// one PMAPPROC_GETPORT call for the core channel (over TCP), sent over UDP
// to each target (broadcast addresses, or single hosts), then every answer
// collected until the listening window closes. Whoever answers with a port
// serves VXI-11; a portmapper without the program answers 0 and is left
// out. Nothing here ever waits longer than the window, whether or not
// anyone answers.
class PortmapperBroadcast {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kWindow{1000};

    // The broadcast addresses of every IPv4 interface that is up and can
    // broadcast (loopback excluded), once each.
    static std::vector<in_addr> BroadcastAddresses();

    // Asks every target (address and port) and returns the addresses that
    // answered with a core port, once each, in ascending order. The call is
    // sent again part-way through the window, for a datagram that was lost.
    static std::vector<in_addr> Search(const std::vector<sockaddr_in>& targets,
                                       std::chrono::milliseconds window = kWindow);
};

}  // namespace kvt::visa
