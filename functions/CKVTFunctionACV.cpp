#include "functions/CKVTFunctionACV.h"

#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

RangedFunctionShape Shape() {
    RangedFunctionShape shape;
    shape.baseUnit = "V";
    shape.firstId = 101;
    shape.speedSubtitle = "Slow";
    shape.ranges = {"200mV", "2V", "20V", "200V", "750V"};
    shape.defaultRange = "200mV";
    shape.commands.setRange = link::SetVoltAcRange;
    shape.commands.setSpeed = link::SetVoltAcSpeed;
    shape.commands.setNull = link::SetVoltAcNull;
    shape.commands.getAutoRange = link::GetVoltAcAutoRange;
    shape.commands.getRange = link::GetVoltAcRange;
    shape.commands.getSpeed = link::GetVoltAcSpeed;
    shape.commands.getNull = link::GetVoltAcNull;
    return shape;
}

}  // namespace

CKVTFunctionACV::CKVTFunctionACV(IFrontPanelServices* panel)
    : CKVTRangedFunction(panel, "AC Voltage", Shape()) {}

CKVTFunctionACV::~CKVTFunctionACV() {
    Shutdown();
}

void CKVTFunctionACV::Init() {
    CKVTRangedFunction::Init();
    m_scale.MarkValid();
}

void CKVTFunctionACV::SyncFromInstrument() {
    auto guard = LockForCommand();
    // AC voltage reads the limits first and its scaling last.
    CKVTFunction::SyncFromInstrument();
    SyncSettings();
    SyncScale();
}

std::string CKVTFunctionACV::UnitLabelFor(const std::string& range,
                                          const std::string& current) const {
    if (range.find("mV") != std::string::npos) {
        return "mVAC";
    }
    return range.starts_with("V") ? current : "VAC";
}

DisplayScale CKVTFunctionACV::DisplayScaleFor(const std::string& range,
                                              const std::string& unitLabel) const {
    int length = static_cast<int>(range.size());
    if (unitLabel == "mVAC") {
        return {1000, 1, length - 2};
    }
    return {1, 1, length - 1};
}

bool CKVTFunctionACV::ScaledUnitLocked(std::string& unit) const {
    return m_scale.ScaledUnitLocked(unit);
}

bool CKVTFunctionACV::SyncScale() {
    m_scale.Sync();
    return true;
}

KVTScaleSettings* CKVTFunctionACV::GetScaleSettings() {
    return m_scale.Settings();
}

KVTScaleSettings CKVTFunctionACV::ScaleSnapshot() const {
    return m_scale.Snapshot();
}

void CKVTFunctionACV::SetScaleState(int state) {
    m_scale.SetState(state);
}

void CKVTFunctionACV::SetScaleFunction(const std::string& function) {
    m_scale.SetFunction(function);
}

void CKVTFunctionACV::SetDbReference(int reference) {
    m_scale.SetDbReference(reference);
}

void CKVTFunctionACV::SetDbmReference(int reference) {
    m_scale.SetDbmReference(reference);
}

void CKVTFunctionACV::SetReferenceAuto(int state) {
    m_scale.SetReferenceAuto(state);
}

}  // namespace kvt::functions
