#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// Range labels built from the instrument's range replies. Each reply is
// read without its final character (the line terminator); an empty reply
// gives the empty text. Numbers are written in full however large.

// Voltage ranges: below 1 V "200mV", otherwise the whole volts and "V".
// dropSign removes the reply's first character (DC and AC voltage replies);
// the frequency function's voltage range keeps it.
std::string VoltRangeLabel(std::string_view reply, bool dropSign);

// Current ranges ("200uA", "20mA", "10A"); the first character is dropped.
std::string CurrentRangeLabel(std::string_view reply);

// Resistance ranges ("200Ω", "20KΩ", "100MΩ"); the first character is kept.
std::string ResistanceRangeLabel(std::string_view reply);

// Capacitance ranges ("2nF", "200uF", "10000uF"), rounded to whole units;
// the first character is dropped.
std::string CapacitanceRangeLabel(std::string_view reply);

}  // namespace kvt::link
