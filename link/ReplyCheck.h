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

// Comma-separated numbers (statistics, trend and histogram data). A reply
// of blanks alone is an empty list. When lastMayBeCut is set (the reply
// filled its buffer, so its tail stayed unread), the text after the last
// comma is not judged: it may be a number cut short.
bool IsNumberListReply(std::string_view reply, bool lastMayBeCut = false);

// One word of letters ("REC", "ALL"), as the mode queries answer.
bool IsWordReply(std::string_view reply);

// The sensor's own reading behind a temperature: "NAME|value,unit", where
// the value between the bar (or the start) and the last comma is a number.
bool IsSensorReadingReply(std::string_view reply);

}  // namespace kvt::link
