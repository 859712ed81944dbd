#include "sim/HeaderPattern.h"

#include <algorithm>
#include <cctype>

#include "sim/ScpiText.h"

namespace kvt::sim {

HeaderPattern::HeaderPattern(std::string_view pattern) {
    if (!pattern.empty() && pattern.back() == '?') {
        m_query = true;
        pattern.remove_suffix(1);
    }
    // Optional nodes are written "[:NODE]" or "[NODE:]"; strip the brackets
    // and colons and remember the flag.
    size_t i = 0;
    while (i < pattern.size()) {
        bool optional = false;
        if (pattern[i] == '[') {
            optional = true;
            ++i;
        }
        while (i < pattern.size() && pattern[i] == ':') {
            ++i;
        }
        size_t start = i;
        while (i < pattern.size() && pattern[i] != ':' && pattern[i] != '[' && pattern[i] != ']') {
            ++i;
        }
        std::string_view text = pattern.substr(start, i - start);
        while (i < pattern.size() && (pattern[i] == ']' || pattern[i] == ':')) {
            ++i;
        }
        if (text.empty()) {
            continue;
        }
        Node node;
        node.optional = optional;
        for (char c : text) {
            char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            node.longForm += upper;
            if (!std::islower(static_cast<unsigned char>(c))) {
                node.shortForm += upper;
            }
        }
        m_nodes.push_back(std::move(node));
    }
}

bool HeaderPattern::NodeMatches(const Node& node, std::string_view token) {
    return scpi::EqualsNoCase(token, node.shortForm) || scpi::EqualsNoCase(token, node.longForm);
}

void HeaderPattern::Walk(std::span<const std::string_view> nodes, size_t node, size_t used,
                         std::vector<size_t>& out) const {
    if (node == m_nodes.size()) {
        if (std::find(out.begin(), out.end(), used) == out.end()) {
            out.push_back(used);
        }
        return;
    }
    const Node& current = m_nodes[node];
    if (used < nodes.size() && NodeMatches(current, nodes[used])) {
        Walk(nodes, node + 1, used + 1, out);
    }
    if (current.optional) {
        Walk(nodes, node + 1, used, out);
    }
}

void HeaderPattern::PrefixLengths(std::span<const std::string_view> nodes,
                                  std::vector<size_t>& out) const {
    out.clear();
    Walk(nodes, 0, 0, out);
}

bool HeaderPattern::Matches(std::span<const std::string_view> nodes) const {
    // Fast path without allocation for patterns with no optional node.
    bool anyOptional = false;
    for (const Node& node : m_nodes) {
        anyOptional = anyOptional || node.optional;
    }
    if (!anyOptional) {
        if (nodes.size() != m_nodes.size()) {
            return false;
        }
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (!NodeMatches(m_nodes[i], nodes[i])) {
                return false;
            }
        }
        return true;
    }
    std::vector<size_t> lengths;
    PrefixLengths(nodes, lengths);
    return std::find(lengths.begin(), lengths.end(), nodes.size()) != lengths.end();
}

}  // namespace kvt::sim
