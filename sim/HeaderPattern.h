#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::sim {

// A SCPI header written the way manuals write it: "CALCulate:AVERage:ALL?",
// "[SENSe:]VOLTage[:DC]". Upper-case letters are the short form, the whole
// node the long form; either matches, in any case. Nodes in brackets may be
// left out. A trailing '?' makes it a query.
class HeaderPattern {
public:
    explicit HeaderPattern(std::string_view pattern);

    bool IsQuery() const { return m_query; }

    // True when the nodes are exactly this header (the query flag is the
    // caller's to compare).
    bool Matches(std::span<const std::string_view> nodes) const;

    // Every count of leading nodes that this header can take up.
    void PrefixLengths(std::span<const std::string_view> nodes, std::vector<size_t>& out) const;

private:
    struct Node {
        std::string shortForm;
        std::string longForm;
        bool optional = false;
    };
    static bool NodeMatches(const Node& node, std::string_view token);
    void Walk(std::span<const std::string_view> nodes, size_t node, size_t used,
              std::vector<size_t>& out) const;

    std::vector<Node> m_nodes;
    bool m_query = false;
};

}  // namespace kvt::sim
