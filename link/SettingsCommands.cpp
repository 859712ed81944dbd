#include "link/SettingsCommands.h"

#include "link/CommandText.h"
#include "link/QueryReply.h"
#include "link/SettingReply.h"

namespace kvt::link {
namespace {

// Integration time in power-line cycles: "Slow" 10, "Middle" 1, else 0.3.
void SetSpeed(std::string_view root, std::string_view label) {
    std::string_view cycles = label == "Slow" ? "10" : label == "Middle" ? "1" : "0.3";
    WriteCommand(std::string(root) + ":NPLC ", cycles);
}

std::string GetSpeed(std::string_view root) {
    return SpeedLabel(QueryText((std::string(root) + ":NPLC?").c_str()));
}

// "<root>:<setting> ON" for the label "On", OFF for any other.
void SetSwitch(std::string_view root, std::string_view setting, std::string_view label) {
    WriteCommand(std::string(root) + ":" + std::string(setting), label == "On" ? " ON" : " OFF");
}

std::string GetSwitch(std::string_view root, std::string_view setting) {
    return OnOffLabel(QueryText((std::string(root) + ":" + std::string(setting) + "?").c_str()));
}

}  // namespace

void SetVoltDcSpeed(std::string_view label) {
    SetSpeed("VOLT:DC", label);
}
std::string GetVoltDcSpeed() {
    return GetSpeed("VOLT:DC");
}
void SetVoltDcFilter(std::string_view label) {
    SetSwitch("VOLT:DC", "FILTER", label);
}
std::string GetVoltDcFilter() {
    return GetSwitch("VOLT:DC", "FILTER");
}
void SetVoltDcInputImpedance(std::string_view label) {
    WriteCommand("VOLT:DC:INPUTZ ", label == "10M" ? "10M" : "10G");
}
std::string GetVoltDcInputImpedance() {
    return InputImpedanceLabel(QueryText("VOLT:DC:IMP?"));
}
void SetVoltDcNull(std::string_view label) {
    SetSwitch("VOLT:DC", "NULL", label);
}
std::string GetVoltDcNull() {
    return GetSwitch("VOLT:DC", "NULL");
}

void SetCurrDcSpeed(std::string_view label) {
    SetSpeed("CURR:DC", label);
}
std::string GetCurrDcSpeed() {
    return GetSpeed("CURR:DC");
}
void SetCurrDcFilter(std::string_view label) {
    SetSwitch("CURR:DC", "FILTER", label);
}
std::string GetCurrDcFilter() {
    return GetSwitch("CURR:DC", "FILTER");
}
void SetCurrDcNull(std::string_view label) {
    SetSwitch("CURR:DC", "NULL", label);
}
std::string GetCurrDcNull() {
    return GetSwitch("CURR:DC", "NULL");
}

void SetVoltAcSpeed(std::string_view label) {
    SetSpeed("VOLT:AC", label);
}
std::string GetVoltAcSpeed() {
    return GetSpeed("VOLT:AC");
}
void SetVoltAcNull(std::string_view label) {
    SetSwitch("VOLT:AC", "NULL", label);
}
std::string GetVoltAcNull() {
    return GetSwitch("VOLT:AC", "NULL");
}

void SetCurrAcSpeed(std::string_view label) {
    SetSpeed("CURR:AC", label);
}
std::string GetCurrAcSpeed() {
    return GetSpeed("CURR:AC");
}
void SetCurrAcNull(std::string_view label) {
    SetSwitch("CURR:AC", "NULL", label);
}
std::string GetCurrAcNull() {
    return GetSwitch("CURR:AC", "NULL");
}

void SetResSpeed(std::string_view label) {
    SetSpeed("RES", label);
}
std::string GetResSpeed() {
    return GetSpeed("RES");
}
void SetResNull(std::string_view label) {
    SetSwitch("RES", "NULL", label);
}
std::string GetResNull() {
    return GetSwitch("RES", "NULL");
}

void SetFresSpeed(std::string_view label) {
    SetSpeed("FRES", label);
}
std::string GetFresSpeed() {
    return GetSpeed("FRES");
}
void SetFresNull(std::string_view label) {
    SetSwitch("FRES", "NULL", label);
}
std::string GetFresNull() {
    return GetSwitch("FRES", "NULL");
}

void SetCapNull(std::string_view label) {
    SetSwitch("CAP", "NULL", label);
}
std::string GetCapNull() {
    return GetSwitch("CAP", "NULL");
}

void SetFreqNull(std::string_view label) {
    SetSwitch("FREQ", "NULL", label);
}
std::string GetFreqNull() {
    return GetSwitch("FREQ", "NULL");
}

void SetContinuityThreshold(std::string_view threshold) {
    WriteCommand("CONT:THR:VALUE ", threshold);
}
std::string GetContinuityThreshold() {
    return ContinuityThresholdLabel(QueryText("CONT:THR:VALUE?"));
}
void SetBeeper(std::string_view label) {
    SetSwitch("SYST:BEEP", "STAT", label);
}
std::string GetBeeper() {
    return BeeperLabel(QueryText("SYST:BEEP:STATE?"));
}

}  // namespace kvt::link
