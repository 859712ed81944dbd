#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>

namespace kvt::visa {

// A VISA resource search expression ("USB?*INSTR", "TCPIP[0-9]*::?*").
// '?' matches one character, '*' and '+' repeat what precedes them,
// "[...]" and "[^...]" are character sets, "(...)" groups, '|' alternates
// and '\' quotes the next character. Matching is case-insensitive and
// covers the whole resource name.
class SearchExpression {
public:
    static std::optional<SearchExpression> Compile(std::string_view expression);

    bool Matches(std::string_view resourceName) const;

private:
    explicit SearchExpression(std::regex regex) : m_regex(std::move(regex)) {}

    std::regex m_regex;
};

}  // namespace kvt::visa
