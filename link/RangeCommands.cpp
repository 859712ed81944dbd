#include "link/RangeCommands.h"

#include "link/CommandText.h"
#include "link/Numbers.h"
#include "link/QueryReply.h"
#include "link/RangeReply.h"
#include "link/SettingReply.h"

namespace kvt::link {
namespace {

constexpr std::string_view kOhm = "Ω";

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// The label without its last n characters (the unit letters).
std::string_view DropLast(std::string_view label, size_t n) {
    return label.substr(0, label.size() > n ? label.size() - n : 0);
}

// Voltage ranges: the millivolt range is written as 0.2 V with the given
// decimals; any other range is its number of volts as the label has it.
void SetVoltageRange(std::string_view rangePrefix, int millivoltDecimals, std::string_view label) {
    if (Contains(label, "mV")) {
        WriteCommand(rangePrefix, FormatFixed(0.2, millivoltDecimals));
    } else {
        WriteCommand(rangePrefix, DropLast(label, 1));
    }
}

// Current ranges: microamps (DC only) as 0.0002 A, milliamps converted to
// amps with three decimals, amps as the label has them.
void SetCurrentRange(std::string_view root, bool hasMicroamps, std::string_view label) {
    std::string prefix = std::string(root) + ":RANGE ";
    if (hasMicroamps && Contains(label, "uA")) {
        WriteCommand(prefix, FormatFixed(0.0002, 6));
    } else if (Contains(label, "mA")) {
        WriteCommand(prefix, FormatFixed(ParseNumber(DropLast(label, 2)) / 1000, 3));
    } else {
        WriteCommand(prefix, DropLast(label, 1));
    }
}

void SetResistanceRange(std::string_view root, std::string_view label) {
    std::string prefix = std::string(root) + ":RANGE ";
    if (Contains(label, "Auto")) {
        WriteCommand(root, ":RANGE:AUTO ON");
        return;
    }
    std::string_view number = label;
    if (number.ends_with(kOhm)) {
        number.remove_suffix(kOhm.size());
    }
    if (Contains(label, "MΩ")) {
        WriteCommand(prefix, FormatFixed(ParseNumber(number) * 1000000, 1));
    } else if (Contains(label, "KΩ")) {
        WriteCommand(prefix, FormatFixed(ParseNumber(number) * 1000, 1));
    } else {
        WriteCommand(prefix, number);
    }
}

}  // namespace

void SetVoltDcRange(std::string_view label) {
    if (label == "Auto") {
        WriteCommand("VOLT:DC:RANGE:AUTO ON");
    } else {
        SetVoltageRange("VOLT:DC:RANGE ", 3, label);
    }
}
std::string GetVoltDcAutoRange() {
    return AutoRangeLabel(QueryNumberText("VOLT:DC:RANGE:AUTO?"));
}
std::string GetVoltDcRange() {
    return VoltRangeLabel(QueryNumberText("VOLT:DC:RANGE?"), true);
}

void SetCurrDcRange(std::string_view label) {
    if (Contains(label, "Auto")) {
        WriteCommand("CURR:DC:RANGE:AUTO ON");
    } else {
        SetCurrentRange("CURR:DC", true, label);
    }
}
std::string GetCurrDcAutoRange() {
    return AutoRangeLabel(QueryNumberText("CURR:DC:RANGE:AUTO?"));
}
std::string GetCurrDcRange() {
    return CurrentRangeLabel(QueryNumberText("CURR:DC:RANGE?"));
}

void SetVoltAcRange(std::string_view label) {
    if (Contains(label, "Auto")) {
        WriteCommand("VOLT:AC:RANGE:AUTO ON");
    } else {
        SetVoltageRange("VOLT:AC:RANGE ", 6, label);
    }
}
std::string GetVoltAcAutoRange() {
    return AutoRangeLabel(QueryNumberText("VOLT:AC:RANGE:AUTO?"));
}
std::string GetVoltAcRange() {
    return VoltRangeLabel(QueryNumberText("VOLT:AC:RANGE?"), true);
}

void SetCurrAcRange(std::string_view label) {
    if (Contains(label, "Auto")) {
        WriteCommand("CURR:AC:RANGE:AUTO ON");
    } else {
        SetCurrentRange("CURR:AC", false, label);
    }
}
std::string GetCurrAcAutoRange() {
    return AutoRangeLabel(QueryNumberText("CURR:AC:RANGE:AUTO?"));
}
std::string GetCurrAcRange() {
    return CurrentRangeLabel(QueryNumberText("CURR:AC:RANGE?"));
}

void SetResRange(std::string_view label) {
    SetResistanceRange("RES", label);
}
std::string GetResAutoRange() {
    return AutoRangeLabel(QueryNumberText("RES:RANGE:AUTO?"));
}
std::string GetResRange() {
    return ResistanceRangeLabel(QueryNumberText("RES:RANGE?"));
}

void SetFresRange(std::string_view label) {
    SetResistanceRange("FRES", label);
}
std::string GetFresAutoRange() {
    return AutoRangeLabel(QueryNumberText("FRES:RANGE:AUTO?"));
}
std::string GetFresRange() {
    return ResistanceRangeLabel(QueryNumberText("FRES:RANGE?"));
}

void SetCapRange(std::string_view label) {
    if (Contains(label, "Auto")) {
        WriteCommand("CAP:RANGE:AUTO ON");
    } else if (Contains(label, "nF")) {
        WriteCommand("CAP:RANGE ",
                     FormatFixed(ParseNumber(DropLast(label, 2)) / 1000 / 1000 / 1000, 10));
    } else if (Contains(label, "uF")) {
        WriteCommand("CAP:RANGE ", FormatFixed(ParseNumber(DropLast(label, 2)) / 1000 / 1000, 10));
    }
}
std::string GetCapAutoRange() {
    return AutoRangeLabel(QueryNumberText("CAP:RANGE:AUTO?"));
}
std::string GetCapRange() {
    return CapacitanceRangeLabel(QueryNumberText("CAP:RANGE?"));
}

void SetFreqRange(std::string_view label) {
    if (Contains(label, "Auto")) {
        // The automatic setting has its own root, without ":VOLT".
        WriteCommand("FREQ:RANGE:AUTO ON");
    } else {
        SetVoltageRange("FREQ:VOLT:RANGE ", 6, label);
    }
}
std::string GetFreqAutoRange() {
    return AutoRangeLabel(QueryNumberText("FREQ:VOLT:RANGE:AUTO?"));
}
std::string GetFreqRange() {
    return VoltRangeLabel(QueryNumberText("FREQ:VOLT:RANGE?"), false);
}

}  // namespace kvt::link
