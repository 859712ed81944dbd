#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::visa {

enum class InterfaceKind { Tcpip, Usb };
enum class ResourceClass { Instr, Socket };

// A parsed VISA resource name. Interface and class keywords are
// case-insensitive; omitted parts take the VISA defaults (board 0, LAN
// device "inst0", class INSTR).
struct ResourceName {
    InterfaceKind kind = InterfaceKind::Tcpip;
    ResourceClass resourceClass = ResourceClass::Instr;
    unsigned board = 0;

    // TCPIP
    std::string host;
    std::string lanDevice;  // INSTR only
    uint16_t port = 0;      // SOCKET only

    // USB
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    int usbInterface = -1;  // -1: not given

    // The name in its canonical VISA spelling, e.g. "TCPIP0::10.0.0.5::inst0::INSTR".
    std::string Canonical() const;

    static std::optional<ResourceName> Parse(std::string_view text);
};

}  // namespace kvt::visa
