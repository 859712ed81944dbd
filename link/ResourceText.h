#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// How the instrument is attached, as chosen when connecting.
enum class ConnectionProtocol { Usbtmc, Vxi11 };

// The VISA resource text to open: the search expression "USB?*INSTR" for
// USBTMC (the first USB instrument found), or
// "TCPIP0::<address>::inst0::INSTR" for VXI-11. The address is not
// checked here; a bad one makes the open fail.
std::string ResourceText(ConnectionProtocol protocol, std::string_view address);

}  // namespace kvt::link
