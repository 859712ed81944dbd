#include "visa/ResourceName.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

namespace kvt::visa {
namespace {

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        size_t pos = text.find("::", start);
        if (pos == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, pos - start));
        start = pos + 2;
    }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

template <typename T>
bool ParseUnsigned(std::string_view text, T& out, int base = 10) {
    if (text.empty()) {
        return false;
    }
    unsigned long long value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || ptr != text.data() + text.size() ||
        value > static_cast<unsigned long long>(static_cast<T>(~T{0}))) {
        return false;
    }
    out = static_cast<T>(value);
    return true;
}

// USB IDs are written in hex with a 0x prefix, or in decimal.
bool ParseUsbId(std::string_view text, uint16_t& out) {
    if (StartsWithNoCase(text, "0x")) {
        return ParseUnsigned(text.substr(2), out, 16);
    }
    return ParseUnsigned(text, out, 10);
}

// Interface keyword followed by an optional board number: "TCPIP", "tcpip1".
bool ParseInterface(std::string_view field, std::string_view keyword, unsigned& board) {
    if (!StartsWithNoCase(field, keyword)) {
        return false;
    }
    std::string_view digits = field.substr(keyword.size());
    board = 0;
    return digits.empty() || ParseUnsigned(digits, board);
}

bool ValidHost(std::string_view host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    for (char c : host) {
        auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) || c == '.' || c == '-' || c == '_')) {
            return false;
        }
    }
    return true;
}

bool ValidToken(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) {
            return false;
        }
    }
    return true;
}

std::optional<ResourceName> ParseTcpip(const std::vector<std::string_view>& f, unsigned board) {
    ResourceName name;
    name.kind = InterfaceKind::Tcpip;
    name.board = board;
    if (f.size() < 2 || !ValidHost(f[1])) {
        return std::nullopt;
    }
    name.host = std::string(f[1]);
    std::vector<std::string_view> rest(f.begin() + 2, f.end());
    if (!rest.empty() && EqualsNoCase(rest.back(), "SOCKET")) {
        if (rest.size() != 2 || !ParseUnsigned(rest[0], name.port) || name.port == 0) {
            return std::nullopt;
        }
        name.resourceClass = ResourceClass::Socket;
        return name;
    }
    if (!rest.empty() && EqualsNoCase(rest.back(), "INSTR")) {
        rest.pop_back();
    }
    if (rest.size() > 1) {
        return std::nullopt;
    }
    name.resourceClass = ResourceClass::Instr;
    name.lanDevice = rest.empty() ? std::string("inst0") : std::string(rest[0]);
    if (!ValidToken(name.lanDevice)) {
        return std::nullopt;
    }
    return name;
}

std::optional<ResourceName> ParseUsb(const std::vector<std::string_view>& f, unsigned board) {
    ResourceName name;
    name.kind = InterfaceKind::Usb;
    name.board = board;
    std::vector<std::string_view> rest(f.begin() + 1, f.end());
    if (!rest.empty() && EqualsNoCase(rest.back(), "INSTR")) {
        rest.pop_back();
    }
    if (rest.size() != 3 && rest.size() != 4) {
        return std::nullopt;
    }
    if (!ParseUsbId(rest[0], name.vendorId) || !ParseUsbId(rest[1], name.productId) ||
        !ValidToken(rest[2])) {
        return std::nullopt;
    }
    name.serial = std::string(rest[2]);
    if (rest.size() == 4) {
        uint8_t intf = 0;
        if (!ParseUnsigned(rest[3], intf)) {
            return std::nullopt;
        }
        name.usbInterface = intf;
    }
    name.resourceClass = ResourceClass::Instr;
    return name;
}

}  // namespace

std::optional<ResourceName> ResourceName::Parse(std::string_view text) {
    std::vector<std::string_view> fields = SplitFields(text);
    unsigned board = 0;
    if (ParseInterface(fields[0], "TCPIP", board)) {
        return ParseTcpip(fields, board);
    }
    if (ParseInterface(fields[0], "USB", board)) {
        return ParseUsb(fields, board);
    }
    return std::nullopt;
}

std::string ResourceName::Canonical() const {
    if (kind == InterfaceKind::Tcpip) {
        std::string out = "TCPIP" + std::to_string(board) + "::" + host + "::";
        if (resourceClass == ResourceClass::Socket) {
            return out + std::to_string(port) + "::SOCKET";
        }
        return out + lanDevice + "::INSTR";
    }
    char ids[32];
    std::snprintf(ids, sizeof ids, "::0x%04X::0x%04X::", vendorId, productId);
    std::string out = "USB" + std::to_string(board) + ids + serial;
    if (usbInterface >= 0) {
        out += "::" + std::to_string(usbInterface);
    }
    return out + "::INSTR";
}

}  // namespace kvt::visa
