#pragma once

#include <string>

#include "link/ResourceText.h"

namespace kvt::app {

// The last connection that succeeded, kept in the program's settings so
// that the connection dialog opens on it the next time: the interface,
// the IPv4 address for VXI11, and for USB the meter picked from the list
// (empty when the first USB instrument found was meant).
struct RememberedConnection {
    static constexpr const char* kInterfaceKey = "connection/interface";
    static constexpr const char* kAddressKey = "connection/address";
    static constexpr const char* kUsbResourceKey = "connection/usbResource";

    link::ConnectionProtocol protocol = link::ConnectionProtocol::Usbtmc;
    std::string address;
    std::string usbResource;

    // False when nothing (or nothing readable) was kept: a first run.
    static bool Load(RememberedConnection& remembered);
    void Save() const;
};

}  // namespace kvt::app
