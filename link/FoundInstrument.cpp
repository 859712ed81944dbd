#include "link/FoundInstrument.h"

#include <cctype>
#include <vector>

namespace kvt::link {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool Printable(std::string_view text) {
    for (char c : text) {
        if (!std::isprint(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool FoundInstrument::FromResource(std::string_view resource, FoundInstrument& found) {
    const std::vector<std::string_view> parts = Split(resource, ':');
    // "USB0::vendor::product::serial::INSTR" and
    // "TCPIP0::address::inst0::INSTR": the empty parts lie between the
    // double colons.
    if (StartsWithNoCase(resource, "USB") && parts.size() >= 9 &&
        EqualsNoCase(parts.back(), "INSTR")) {
        found = FoundInstrument{};
        found.resource = std::string(resource);
        found.protocol = ConnectionProtocol::Usbtmc;
        return true;
    }
    if (StartsWithNoCase(resource, "TCPIP") && parts.size() == 7 &&
        EqualsNoCase(parts[4], "inst0") && EqualsNoCase(parts[6], "INSTR") && !parts[2].empty()) {
        found = FoundInstrument{};
        found.resource = std::string(resource);
        found.protocol = ConnectionProtocol::Vxi11;
        found.address = std::string(parts[2]);
        return true;
    }
    return false;
}

bool FoundInstrument::TakeIdentity(std::string_view reply) {
    reply = Trimmed(reply);
    const std::vector<std::string_view> fields = Split(reply, ',');
    if (fields.size() < 3 || !Printable(reply) || Trimmed(fields[0]).empty()) {
        return false;
    }
    maker = std::string(Trimmed(fields[0]));
    model = std::string(Trimmed(fields[1]));
    serial = std::string(Trimmed(fields[2]));
    answered = true;
    return true;
}

}  // namespace kvt::link
