#include "functions/CKVTFunctionDCV.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

void WriteToStderr(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
}

RangedFunctionShape Shape() {
    RangedFunctionShape shape;
    shape.baseUnit = "V";
    shape.firstId = CKVTFunctionDCV::kRangeKey;
    shape.speedSubtitle = "Slow";
    shape.ranges = {"200mV", "2V", "20V", "200V", "1000V"};
    shape.defaultRange = "200mV";
    shape.commands.setRange = link::SetVoltDcRange;
    shape.commands.setSpeed = link::SetVoltDcSpeed;
    shape.commands.setFilter = link::SetVoltDcFilter;
    shape.commands.setNull = link::SetVoltDcNull;
    shape.commands.getAutoRange = link::GetVoltDcAutoRange;
    shape.commands.getRange = link::GetVoltDcRange;
    shape.commands.getSpeed = link::GetVoltDcSpeed;
    shape.commands.getFilter = link::GetVoltDcFilter;
    shape.commands.getNull = link::GetVoltDcNull;
    shape.commands.setExtra = link::SetVoltDcInputImpedance;
    shape.commands.getExtra = link::GetVoltDcInputImpedance;
    // Input impedance can be chosen on the two lowest ranges only.
    shape.extra = {"InputZ", "10M", "10G", {"200mV", "2V"}};
    shape.firstChoiceId = CKVTFunctionDCV::kRangeAuto;
    shape.speedPause = std::chrono::milliseconds(0);
    return shape;
}

DisplayScale ScaleFor(const std::string& range, const std::string& unitLabel) {
    // Integer digits of the range: "2V" 1, "20V" 2, "200mV" 3, "1000V" 4.
    int length = static_cast<int>(range.size());
    if (unitLabel == "mVDC") {
        return {1000, 1, length - 2};
    }
    return {1, 1, length - 1};
}

}  // namespace

CKVTFunctionDCV::CKVTFunctionDCV(IFrontPanelServices* panel)
    : CKVTRangedFunction(panel, "DC Voltage", Shape()) {
    const char* debug = std::getenv("KORVATA_DEBUG_CYCLE");
    if (debug != nullptr && std::strcmp(debug, "1") == 0) {
        m_cycleLog = WriteToStderr;
    }
}

CKVTFunctionDCV::~CKVTFunctionDCV() {
    Shutdown();
}

void CKVTFunctionDCV::Init() {
    CKVTRangedFunction::Init();
    m_scale.MarkValid();
}

void CKVTFunctionDCV::SyncFromInstrument() {
    auto guard = LockForCommand();
    CKVTFunction::SyncFromInstrument();
    SyncSettings();
    SyncScale();
}

std::string CKVTFunctionDCV::UnitLabelFor(const std::string& range,
                                          const std::string& current) const {
    if (range.find("mV") != std::string::npos) {
        return "mVDC";
    }
    return range.find('V') != std::string::npos ? "VDC" : current;
}

DisplayScale CKVTFunctionDCV::DisplayScaleFor(const std::string& range,
                                              const std::string& unitLabel) const {
    return ScaleFor(range, unitLabel);
}

std::string CKVTFunctionDCV::DisplayText(const std::string& reading, const std::string& range,
                                         const std::string& unitLabel, int scaleState) {
    if (scaleState != 0) {
        return ScaledReadingText(reading);
    }
    return PaddedReadingText(reading, ScaleFor(range, unitLabel));
}

bool CKVTFunctionDCV::ScaledUnitLocked(std::string& unit) const {
    return m_scale.ScaledUnitLocked(unit);
}

bool CKVTFunctionDCV::SyncScale() {
    m_scale.Sync();
    return true;
}

KVTScaleSettings* CKVTFunctionDCV::GetScaleSettings() {
    return m_scale.Settings();
}

KVTScaleSettings CKVTFunctionDCV::ScaleSnapshot() const {
    return m_scale.Snapshot();
}

void CKVTFunctionDCV::SetScaleState(int state) {
    m_scale.SetState(state);
}

void CKVTFunctionDCV::SetScaleFunction(const std::string& function) {
    m_scale.SetFunction(function);
}

void CKVTFunctionDCV::SetDbReference(int reference) {
    m_scale.SetDbReference(reference);
}

void CKVTFunctionDCV::SetDbmReference(int reference) {
    m_scale.SetDbmReference(reference);
}

void CKVTFunctionDCV::SetReferenceAuto(int state) {
    m_scale.SetReferenceAuto(state);
}

void CKVTFunctionDCV::SetCycleLog(LogSink sink) {
    auto guard = LockForCommand();
    m_cycleLog = std::move(sink);
}

bool CKVTFunctionDCV::NotifiesUnderLock() const {
    return true;
}

void CKVTFunctionDCV::CycleCompleted(std::chrono::steady_clock::duration duration) {
    if (!m_cycleLog) {
        return;
    }
    double seconds = std::chrono::duration<double>(duration).count();
    std::array<char, 64> line;
    auto [end, status] = std::to_chars(line.data(), line.data() + line.size() - 1, seconds,
                                       std::chars_format::fixed, 4);
    if (status != std::errc()) {
        return;
    }
    *end++ = '\n';
    m_cycleLog(std::string_view(line.data(), static_cast<size_t>(end - line.data())));
}

}  // namespace kvt::functions
