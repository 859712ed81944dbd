#include "functions/VoltageScale.h"

#include <utility>

#include "functions/ScaleSettingsQuery.h"
#include "link/AnalysisCommands.h"
#include "link/Pacer.h"

namespace kvt::functions {

void VoltageScale::MarkValid() {
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale.valid = true;
}

void VoltageScale::Sync() {
    CReadingWorker::CommandLock guard(m_worker);
    KVTScaleSettings scale = QueryScaleSettings();
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale = std::move(scale);
}

KVTScaleSettings VoltageScale::Snapshot() const {
    std::lock_guard<std::mutex> text(m_textLock);
    return m_scale;
}

void VoltageScale::Change(const std::function<void()>& send,
                          const std::function<void(KVTScaleSettings&)>& store) {
    CReadingWorker::CommandLock guard(m_worker);
    send();
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    store(m_scale);
}

void VoltageScale::SetState(int state) {
    Change([state] { link::SetScaleState(state); },
           [state](KVTScaleSettings& scale) { scale.state = state; });
}

void VoltageScale::SetFunction(const std::string& function) {
    Change(
        [&function] { link::SetScaleFunction(function); },
        [&function](KVTScaleSettings& scale) { scale.function = function == "DB" ? "dB" : "dBm"; });
}

void VoltageScale::SetDbReference(int reference) {
    Change([reference] { link::SetDbReference(reference); },
           [reference](KVTScaleSettings& scale) { scale.dbReference = reference; });
}

void VoltageScale::SetDbmReference(int reference) {
    Change([reference] { link::SetDbmReference(reference); },
           [reference](KVTScaleSettings& scale) { scale.dbmReference = reference; });
}

void VoltageScale::SetReferenceAuto(int state) {
    Change([state] { link::SetScaleAutoReference(state); },
           [state](KVTScaleSettings& scale) { scale.referenceAuto = state; });
}

bool VoltageScale::ScaledUnitLocked(std::string& unit) const {
    if (m_scale.state == 0) {
        return false;
    }
    unit = m_scale.function;
    return true;
}

}  // namespace kvt::functions
