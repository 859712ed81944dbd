#include "functions/CKVTFunctionACV.h"

#include <utility>

#include "functions/ScaleSettingsQuery.h"
#include "link/AnalysisCommands.h"
#include "link/Pacer.h"
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
    std::lock_guard<std::mutex> guard(m_textLock);
    m_scale.valid = true;
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
    if (m_scale.state == 0) {
        return false;
    }
    unit = m_scale.function;
    return true;
}

bool CKVTFunctionACV::SyncScale() {
    auto guard = LockForCommand();
    KVTScaleSettings scale = QueryScaleSettings();
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale = std::move(scale);
    return true;
}

KVTScaleSettings* CKVTFunctionACV::GetScaleSettings() {
    return &m_scale;
}

KVTScaleSettings CKVTFunctionACV::ScaleSnapshot() const {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_scale;
}

void CKVTFunctionACV::ChangeScale(const std::function<void()>& send,
                                  const std::function<void(KVTScaleSettings&)>& store) {
    auto guard = LockForCommand();
    send();
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    store(m_scale);
}

void CKVTFunctionACV::SetScaleState(int state) {
    ChangeScale([state] { link::SetScaleState(state); },
                [state](KVTScaleSettings& scale) { scale.state = state; });
}

void CKVTFunctionACV::SetScaleFunction(const std::string& function) {
    ChangeScale(
        [&function] { link::SetScaleFunction(function); },
        [&function](KVTScaleSettings& scale) { scale.function = function == "DB" ? "dB" : "dBm"; });
}

void CKVTFunctionACV::SetDbReference(int reference) {
    ChangeScale([reference] { link::SetDbReference(reference); },
                [reference](KVTScaleSettings& scale) { scale.dbReference = reference; });
}

void CKVTFunctionACV::SetDbmReference(int reference) {
    ChangeScale([reference] { link::SetDbmReference(reference); },
                [reference](KVTScaleSettings& scale) { scale.dbmReference = reference; });
}

void CKVTFunctionACV::SetReferenceAuto(int state) {
    ChangeScale([state] { link::SetScaleAutoReference(state); },
                [state](KVTScaleSettings& scale) { scale.referenceAuto = state; });
}

}  // namespace kvt::functions
