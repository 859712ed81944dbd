#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::link {

// Setting labels built from the instrument's replies. Every rule turns an
// empty reply into the empty text.

// "Manual" when the reply contains the digit 0, otherwise "Auto".
std::string AutoRangeLabel(std::string_view reply);

// Filter and null states: "Off" when the reply contains 0, otherwise "On".
std::string OnOffLabel(std::string_view reply);

// Integration speed from power-line cycles: at most 0.5 "Fast", at most 1
// "Middle", more "Slow".
std::string SpeedLabel(std::string_view reply);

// Input impedance: "10M" when the reply contains it, otherwise "10G".
std::string InputImpedanceLabel(std::string_view reply);

// Beeper state: "On" when the reply contains 1, otherwise "Off".
std::string BeeperLabel(std::string_view reply);

// Temperature unit: "℃" when the reply contains C, else "℉" for F, else "K".
std::string TemperatureUnitLabel(std::string_view reply);

// Continuity threshold: the number (without the terminator) in single
// precision, rounded to an integer, zero-padded to four characters and
// signed ("+0050", "-005").
std::string ContinuityThresholdLabel(std::string_view reply);

// Transducer name: the reply without its terminator, after its last comma.
std::string TransducerNameFromReply(std::string_view reply);

// Secondary temperature reading: the reply without its terminator, between
// its first "|" and its last comma, signed with "+" when it has no sign.
std::string SecondaryReadingFromReply(std::string_view reply);

// Transducer names of a list reply, appended to names. False for an empty
// reply; a reply "NONE" adds nothing. Each comma-separated entry loses
// everything up to and including its first blank.
bool AppendTransducerNames(std::string_view reply, std::vector<std::string>& names);

// dB scaling function: "dB" for a reply "DB" (before any ";" and the line
// terminator), "dBm" for anything else, the empty reply included.
std::string ScaleFunctionLabel(std::string_view reply);

// Trend record mode: "ALL" when the reply contains it, otherwise "REC".
std::string TrendModeLabel(std::string_view reply);

}  // namespace kvt::link
