#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/FaultSettings.h"
#include "sim/QuirkSettings.h"

namespace kvt::sim {

// The command line of korvata-sim.
struct SimOptions {
    bool help = false;
    bool vxi11 = false;
    bool announce = false;       // announce the services by multicast DNS (Avahi)
    uint16_t socketPort = 5025;  // the raw socket is always served; 0 = ephemeral
    std::optional<uint16_t> portmapperPort;
    uint64_t seed = 1;
    std::string logPath;
    FaultSettings faults;
    QuirkSettings quirks;

    // Parses the arguments after the program name ("--opt VALUE" or
    // "--opt=VALUE"); false, with the reason, on anything malformed.
    bool Parse(const std::vector<std::string>& arguments, std::string& error);

    static const char* Usage();
};

}  // namespace kvt::sim
