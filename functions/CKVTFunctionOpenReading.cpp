#include "functions/CKVTFunctionOpenReading.h"

#include <chrono>
#include <utility>

#include "link/CoreCommands.h"
#include "link/Numbers.h"
#include "link/Pacer.h"
#include "link/ReadingReply.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

constexpr std::chrono::milliseconds kSettlePause{100};
constexpr size_t kShownLength = 8;

}  // namespace

CKVTFunctionOpenReading::CKVTFunctionOpenReading(IFrontPanelServices* panel, std::string name)
    : CKVTFunction(panel, std::move(name)) {}

bool CKVTFunctionOpenReading::ReadOnce() {
    link::LastReading reading = link::ReadContinuityReading();
    const std::string& text = reading.text;
    if (text.empty()) {
        return false;
    }
    SetReadingText(text);
    PushHistory(text == link::kOpenText ? link::kOverloadLevel : link::ParseNumber(text));
    RecordReading(reading.meterNumber);
    return true;
}

std::string CKVTFunctionOpenReading::DisplayText(const std::string& reading) {
    if (reading == kPlaceholder || reading == link::kOpenText) {
        return reading;
    }
    return reading.substr(0, kShownLength);
}

std::string CKVTFunctionOpenReading::GetDisplayText() {
    return DisplayText(GetReadingText());
}

std::string CKVTFunctionOpenReading::GetRangeMode() {
    return {};
}

void CKVTFunctionOpenReading::SetRange(const std::string&) {}

std::string CKVTFunctionOpenReading::GetRange() {
    return {};
}

std::thread::id CKVTFunctionOpenReading::CreateWorker() {
    return LaunchReadingWorker();
}

bool CKVTFunctionOpenReading::FollowsAutoRange() const {
    return false;
}

void CKVTFunctionOpenReading::SendBeeper(int beeperItem) {
    m_beeper = GetItem(beeperItem)->GetValue();
    auto guard = LockForCommand();
    link::SetBeeper(m_beeper);
    link::Pause(kSettlePause);
}

}  // namespace kvt::functions
