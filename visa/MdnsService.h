#pragma once

#include <cstdint>
#include <string>

namespace kvt::visa {

// A service found by multicast DNS and resolved: its type
// ("_vxi-11._tcp"), the IPv4 address it was resolved to, and its port.
struct MdnsService {
    std::string type;
    std::string address;
    uint16_t port = 0;
};

}  // namespace kvt::visa
