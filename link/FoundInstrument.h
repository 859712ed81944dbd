#pragma once

#include <string>
#include <string_view>

#include "link/ResourceText.h"

namespace kvt::link {

// An instrument that a search found: the VISA name to open it by, how the
// connection dialog reaches it, and who it says it is.
struct FoundInstrument {
    std::string resource;
    ConnectionProtocol protocol = ConnectionProtocol::Usbtmc;
    // The IPv4 address of a network instrument; empty for USB.
    std::string address;
    // From the reply to *IDN?; all empty when it did not answer.
    std::string maker;
    std::string model;
    std::string serial;
    bool answered = false;

    // The instrument that a resource name found by the search stands for,
    // or false for one the dialog cannot open (a raw socket, a VXI-11
    // device other than inst0, another interface).
    static bool FromResource(std::string_view resource, FoundInstrument& found);
    // Fills maker, model and serial from an *IDN? reply
    // ("maker,model,serial,firmware"); false when it is no such reply.
    bool TakeIdentity(std::string_view reply);
};

}  // namespace kvt::link
