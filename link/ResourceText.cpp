#include "link/ResourceText.h"

namespace kvt::link {

std::string ResourceText(ConnectionProtocol protocol, std::string_view address) {
    if (protocol == ConnectionProtocol::Vxi11) {
        return "TCPIP0::" + std::string(address) + "::inst0::INSTR";
    }
    return "USB?*INSTR";
}

}  // namespace kvt::link
