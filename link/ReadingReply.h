#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// Text shown for an overloaded reading.
inline constexpr std::string_view kOverloadText = "Overload";
// Continuity shows an open circuit where other functions show an overload.
inline constexpr std::string_view kOpenText = "open";
// The instrument reports an overload as a number of this magnitude.
inline constexpr double kOverloadLevel = 9.9e37;

// True when the text's number is at least 9.9e37 or at most -9.9e37.
bool IsOverload(std::string_view text);

// The reading text of a "DATA:LAST?" reply: empty for an empty reply,
// "Overload" for an overload, otherwise the number before the first space
// written with twelve decimals and a sign ("+0.001500000000"). The number
// is written in full however large.
std::string ReadingFromReply(std::string_view reply);

// The number of a "DATA:LAST?" reply exactly as the instrument wrote it
// ("+1.23456789E+00"): the text before the first blank, without the line
// ending; empty for an empty reply.
std::string MeterNumberFromReply(std::string_view reply);

// The function name of a "FUNCTION?" reply: the text strictly between the
// first and the last double quote; a reply with fewer than two quotes is
// returned unchanged.
std::string FunctionNameFromReply(std::string_view reply);

}  // namespace kvt::link
