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

    // False only when no name that begins with `prefix` and ends with
    // `suffix` can match, judged from the letters the expression fixes at
    // its beginning and end; true when unsure. Lets a slow search (the
    // network's) be skipped for expressions that cannot match what it finds.
    bool MayMatch(std::string_view prefix, std::string_view suffix) const;

private:
    SearchExpression(std::regex regex, std::string fixedStart, std::string fixedEnd)
        : m_regex(std::move(regex)),
          m_fixedStart(std::move(fixedStart)),
          m_fixedEnd(std::move(fixedEnd)) {}

    std::regex m_regex;
    std::string m_fixedStart;  // every match begins with it (case aside)
    std::string m_fixedEnd;    // every match ends with it
};

}  // namespace kvt::visa
