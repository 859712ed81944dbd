#pragma once

#include <string_view>

namespace kvt::link {

// Whether a reply has the form its query promises. A reply that arrived
// but does not (bytes garbled on the way, a confused instrument) must not
// be read as a value: the C number conversion would read it as 0.
// Blanks, tabs and the line end around a reply are allowed.

// One decimal number and nothing else: optional sign, digits with an
// optional fraction (or a fraction alone), optional exponent.
bool IsNumberReply(std::string_view reply);

// A reading: a number at the very start, optionally followed by one blank
// and a unit word of printable characters ("+1.23456789E+00 VDC").
bool IsReadingReply(std::string_view reply);

}  // namespace kvt::link
