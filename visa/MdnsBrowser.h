#pragma once

#include <chrono>
#include <vector>

#include "visa/MdnsService.h"

namespace kvt::visa {

// Finds instruments by multicast DNS through the Avahi daemon: browses for
// the service types that name a way in (VXI-11, LXI, raw SCPI socket) on
// IPv4 and resolves every service found to its address and port.
//
// HiSLIP (`_hislip._tcp`) is not browsed for: this layer does not speak
// HiSLIP, and a HiSLIP instrument's host cannot be assumed to serve VXI-11
// as well; listing it as `inst0::INSTR` would offer a name that may not
// open. One that also serves VXI-11 or a socket is listed through those.
//
// Without Avahi's library or a running daemon the browse finds nothing,
// at once and without a word: the portmapper broadcast searches alone.
class MdnsBrowser {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr const char* kServiceTypes[] = {"_vxi-11._tcp", "_lxi._tcp", "_scpi-raw._tcp"};

    // Whether a browse can be tried at all: Avahi's client library loads.
    static bool Available();

    // Browses until the daemon has told all it knows of every type and each
    // service found is resolved, or until `deadline`, whichever is first;
    // returns the services resolved by then.
    static std::vector<MdnsService> Browse(Clock::time_point deadline);
};

}  // namespace kvt::visa
