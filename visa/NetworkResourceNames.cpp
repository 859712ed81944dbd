#include "visa/NetworkResourceNames.h"

#include <arpa/inet.h>

#include <algorithm>
#include <tuple>

#include "visa/ResourceName.h"

namespace kvt::visa {
namespace {

// What a name is ordered by: IPv4 hosts first, by value; other hosts by
// their text; names that do not parse last, by their text.
struct SortKey {
    int rank = 2;
    uint32_t address = 0;
    std::string text;
    int resourceClass = 0;
    uint16_t port = 0;

    bool operator<(const SortKey& other) const {
        return std::tie(rank, address, text, resourceClass, port) <
               std::tie(other.rank, other.address, other.text, other.resourceClass, other.port);
    }
};

SortKey KeyOf(const std::string& name) {
    SortKey key;
    std::optional<ResourceName> parsed = ResourceName::Parse(name);
    if (!parsed) {
        key.text = name;
        return key;
    }
    in_addr address{};
    if (::inet_pton(AF_INET, parsed->host.c_str(), &address) == 1) {
        key.rank = 0;
        key.address = ntohl(address.s_addr);
    } else {
        key.rank = 1;
        key.text = parsed->host;
    }
    key.resourceClass = parsed->resourceClass == ResourceClass::Instr ? 0 : 1;
    key.port = parsed->port;
    return key;
}

}  // namespace

std::optional<std::string> NetworkResourceNames::Of(const MdnsService& service) {
    if (service.address.empty()) {
        return std::nullopt;
    }
    if (service.type == "_vxi-11._tcp" || service.type == "_lxi._tcp") {
        return "TCPIP0::" + service.address + "::inst0::INSTR";
    }
    if (service.type == "_scpi-raw._tcp" && service.port != 0) {
        return "TCPIP0::" + service.address + "::" + std::to_string(service.port) + "::SOCKET";
    }
    return std::nullopt;
}

std::vector<std::string> NetworkResourceNames::Merge(std::vector<std::string> names) {
    std::vector<std::pair<SortKey, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        keyed.emplace_back(KeyOf(name), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
    keyed.erase(std::unique(keyed.begin(), keyed.end(),
                            [](const auto& a, const auto& b) { return a.second == b.second; }),
                keyed.end());
    std::vector<std::string> merged;
    merged.reserve(keyed.size());
    for (auto& [key, name] : keyed) {
        merged.push_back(std::move(name));
    }
    return merged;
}

}  // namespace kvt::visa
