#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::sim::scpi {

// One program message unit: "HEADER[?] [argument]".
struct ProgramUnit {
    std::string_view header;    // as received, '?' included
    std::string_view argument;  // trimmed; empty when none
    bool query = false;
};

// Splits a program message at the ';' that lie outside quoted strings and
// drops empty units and surrounding white space.
std::vector<std::string_view> SplitUnits(std::string_view message);

ProgramUnit ParseUnit(std::string_view unit);

// The header's nodes: leading ':' and the trailing '?' dropped, split at ':'.
// An empty node (as in "A::B") is kept so that such a header matches nothing.
void SplitHeader(std::string_view header, std::vector<std::string_view>& nodes);

std::string_view Trim(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Argument parsing. Each returns false when the text is not of that type.
bool ParseNumber(std::string_view text, double& value);       // decimal, locale-free
bool ParseBoolean(std::string_view text, bool& value);        // ON, OFF or a number
bool ParseQuoted(std::string_view text, std::string& value);  // "..." or '...'
// Splits an argument list at top-level commas.
std::vector<std::string_view> SplitArguments(std::string_view text);

// Reply formatting, independent of the C locale.
void AppendScientific(std::string& out, double value);  // +1.23456789E+00
std::string Scientific(double value);
void AppendInteger(std::string& out, int64_t value);  // +12, -3

}  // namespace kvt::sim::scpi
