#include "link/CoreCommands.h"

#include <array>
#include <utility>

#include "link/CommandText.h"
#include "link/Pacer.h"
#include "link/QueryReply.h"
#include "link/ReadingReply.h"

namespace kvt::link {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kFunctionCommands{{
    {"VOLT", "FUNC \"VOLT:DC\""},
    {"CURR", "FUNC \"CURR:DC\""},
    {"VOLT:AC", "FUNC \"VOLT:AC\""},
    {"CURR:AC", "FUNC \"CURR:AC\""},
    {"RES", "FUNC \"RES\""},
    {"FRES", "FUNC \"FRES\""},
    {"CAP", "FUNC \"CAP\""},
    {"FREQ", "FUNC \"FREQ\""},
    {"PER", "FUNC \"PER\""},
    {"CONT", "FUNC \"CONT\""},
    {"DIOD", "FUNC \"DIOD\""},
    {"TEMP", "FUNC \"TEMP\""},
}};

}  // namespace

void SetFunction(std::string_view name) {
    std::string_view command;
    for (const auto& [function, text] : kFunctionCommands) {
        if (function == name) {
            command = text;
        }
    }
    WriteCommand(command);
}

std::string GetFunction() {
    std::string reply = QueryText("FUNCTION?");
    if (reply.empty()) {
        return {};
    }
    return FunctionNameFromReply(reply);
}

void SetTriggerCountInfinite() {
    WriteCommand("TRIG:COUN INF");
}

void Initiate() {
    WriteCommand("INIT");
}

void SetTriggerDelay(std::string_view delay) {
    if (delay == "Auto") {
        WriteCommand("TRIG:DEL:AUTO ON");
    } else {
        WriteCommand("TRIG:DEL ", delay);
    }
}

void SetTriggerOutputSlope(std::string_view slope) {
    WriteCommand("OUTP:TRIG:SLOP ", slope);
}

void SetSampleCount(std::string_view count) {
    WriteCommand("SAMP:COUN ", count);
}

LastReading ReadLastReading() {
    std::string reply = QueryReadingText("DATA:LAST?");
    return {ReadingFromReply(reply), MeterNumberFromReply(reply)};
}

LastReading ReadContinuityReading() {
    LastReading reading = ReadLastReading();
    if (reading.text == kOverloadText) {
        reading.text = std::string(kOpenText);
    }
    return reading;
}

std::string ReadLastValue() {
    return ReadLastReading().text;
}

std::string ReadContinuityValue() {
    return ReadContinuityReading().text;
}

void SendPanelKey(std::string_view keyCode) {
    WriteCommand(keyCode);
    Pause(kPanelKeyPause);
}

}  // namespace kvt::link
