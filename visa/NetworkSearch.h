#pragma once

#include <netinet/in.h>

#include <chrono>
#include <string>
#include <vector>

namespace kvt::visa {

// The search for instruments on the network: the portmapper broadcast and
// the multicast DNS browse, run side by side, their names merged. Neither
// waits on the other, and the whole search ends within kMdnsWindow plus a
// little, whatever the network and the local daemon do.
class NetworkSearch {
public:
    using Clock = std::chrono::steady_clock;

    // How long the browse may take; the broadcast's window is shorter.
    static constexpr std::chrono::milliseconds kMdnsWindow{1200};
    // How long past the browse's own deadline its result is waited for; a
    // browse stuck in the daemon's connection (it has a deadline of its own
    // everywhere else) is then left to finish unheeded.
    static constexpr std::chrono::milliseconds kGrace{100};

    struct Plan {
        std::vector<sockaddr_in> broadcastTargets;  // none: no broadcast
        bool browse = false;                        // multicast DNS
    };

    // The resource names found, once each, in NetworkResourceNames' order.
    static std::vector<std::string> Run(const Plan& plan);
};

}  // namespace kvt::visa
