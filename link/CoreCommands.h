#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace kvt::link {

// The general commands: measurement function, trigger and sample settings,
// starting the measurement, the latest reading and front-panel key codes.
// Each reaches the one connection at the moment it runs.

// Front-panel key codes.
inline constexpr std::string_view kKeyRun = "$$SY_FP 21";
inline constexpr std::string_view kKeySingle = "$$SY_FP 6";
inline constexpr std::string_view kKeyOk = "$$SY_FP 24";
inline constexpr std::string_view kKeyIncrease = "$$SY_FP 14";
inline constexpr std::string_view kKeyRange = "$$SY_FP 15";
inline constexpr std::string_view kKeyDecrease = "$$SY_FP 16";
inline constexpr std::string_view kKeyDisconnect = "$$SY_FP 13";

// Time the instrument needs to process one key before the next.
inline constexpr std::chrono::milliseconds kPanelKeyPause{100};

// Selects the instrument function by its name ("VOLT", "CURR", "VOLT:AC",
// "CURR:AC", "RES", "FRES", "CAP", "FREQ", "PER", "CONT", "DIOD", "TEMP";
// compared exactly). Any other name sends an empty command.
void SetFunction(std::string_view name);
// The instrument's current function name; empty when it did not answer.
std::string GetFunction();

void SetTriggerCountInfinite();
void Initiate();
// "Auto" (exactly) turns the automatic delay on; any other text is sent
// as the delay.
void SetTriggerDelay(std::string_view delay);
void SetTriggerOutputSlope(std::string_view slope);
void SetSampleCount(std::string_view count);

// The latest reading: the text shown ("+0.001500000000", "Overload") and
// the number as the instrument sent it ("+1.50000000E-03"), both empty
// when the instrument did not answer.
struct LastReading {
    std::string text;
    std::string meterNumber;
};
LastReading ReadLastReading();
// As ReadLastReading, with "open" in place of "Overload".
LastReading ReadContinuityReading();

// The text of ReadLastReading and of ReadContinuityReading.
std::string ReadLastValue();
std::string ReadContinuityValue();

// Sends a key code as it stands, then pauses so that the instrument has
// processed the key before the next one arrives.
void SendPanelKey(std::string_view keyCode);

}  // namespace kvt::link
