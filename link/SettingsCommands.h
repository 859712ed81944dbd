#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// Speed, filter, input impedance, null, beeper and continuity threshold of
// the measurement functions. Set functions take the soft-key label
// ("Slow", "Middle", anything else is fast; "On", anything else is off;
// "10M", anything else is 10G); queries return the same vocabulary, or the
// empty text when the instrument did not answer.

void SetVoltDcSpeed(std::string_view label);
std::string GetVoltDcSpeed();
void SetVoltDcFilter(std::string_view label);
std::string GetVoltDcFilter();
void SetVoltDcInputImpedance(std::string_view label);
std::string GetVoltDcInputImpedance();
void SetVoltDcNull(std::string_view label);
std::string GetVoltDcNull();

void SetCurrDcSpeed(std::string_view label);
std::string GetCurrDcSpeed();
void SetCurrDcFilter(std::string_view label);
std::string GetCurrDcFilter();
void SetCurrDcNull(std::string_view label);
std::string GetCurrDcNull();

void SetVoltAcSpeed(std::string_view label);
std::string GetVoltAcSpeed();
void SetVoltAcNull(std::string_view label);
std::string GetVoltAcNull();

void SetCurrAcSpeed(std::string_view label);
std::string GetCurrAcSpeed();
void SetCurrAcNull(std::string_view label);
std::string GetCurrAcNull();

void SetResSpeed(std::string_view label);
std::string GetResSpeed();
void SetResNull(std::string_view label);
std::string GetResNull();

void SetFresSpeed(std::string_view label);
std::string GetFresSpeed();
void SetFresNull(std::string_view label);
std::string GetFresNull();

void SetCapNull(std::string_view label);
std::string GetCapNull();

void SetFreqNull(std::string_view label);
std::string GetFreqNull();

// Continuity: the threshold text is sent as it stands; the query returns
// it signed and zero-padded ("+0050").
void SetContinuityThreshold(std::string_view threshold);
std::string GetContinuityThreshold();
void SetBeeper(std::string_view label);
std::string GetBeeper();

}  // namespace kvt::link
