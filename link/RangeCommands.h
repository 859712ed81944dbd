#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// Range settings of each measurement function. Set functions take the
// label a soft key shows ("Auto", "200mV", "2KΩ", "20uF"); the auto-range
// queries return "Auto" or "Manual", the range queries a range label;
// every query returns the empty text when the instrument did not answer.

void SetVoltDcRange(std::string_view label);  // "Auto" compared exactly
std::string GetVoltDcAutoRange();
std::string GetVoltDcRange();

void SetCurrDcRange(std::string_view label);  // any label containing "Auto"
std::string GetCurrDcAutoRange();
std::string GetCurrDcRange();

void SetVoltAcRange(std::string_view label);
std::string GetVoltAcAutoRange();
std::string GetVoltAcRange();

void SetCurrAcRange(std::string_view label);
std::string GetCurrAcAutoRange();
std::string GetCurrAcRange();

void SetResRange(std::string_view label);
std::string GetResAutoRange();
std::string GetResRange();

void SetFresRange(std::string_view label);
std::string GetFresAutoRange();
std::string GetFresRange();

// A label with neither "nF", "uF" nor "Auto" is not a capacitance range
// and sends nothing.
void SetCapRange(std::string_view label);
std::string GetCapAutoRange();
std::string GetCapRange();

// The frequency function's input voltage range.
void SetFreqRange(std::string_view label);
std::string GetFreqAutoRange();
std::string GetFreqRange();

}  // namespace kvt::link
