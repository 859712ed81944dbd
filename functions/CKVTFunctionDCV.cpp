#include "functions/CKVTFunctionDCV.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "functions/ScaleSettingsQuery.h"
#include "link/AnalysisCommands.h"
#include "link/Numbers.h"
#include "link/Pacer.h"
#include "link/RangeCommands.h"
#include "link/ReadingReply.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

constexpr std::chrono::milliseconds kSettlePause{100};
constexpr std::chrono::milliseconds kRangePause{300};
constexpr std::chrono::milliseconds kNoPause{0};

constexpr std::array<int, 5> kMainPage{1, 2, 3, 4, 5};
constexpr std::array<int, 4> kMainPageWithoutInputZ{1, 2, 3, 5};
constexpr std::array<int, 6> kRangePage{7, 8, 9, 10, 11, 12};
constexpr std::array<int, 3> kSpeedPage{13, 14, 15};

bool Contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// Input impedance can be chosen on the two lowest ranges only.
bool OffersInputImpedance(const std::string& range) {
    return range == "200mV" || range == "2V";
}

void WriteToStderr(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

CKVTFunctionDCV::CKVTFunctionDCV(IFrontPanelServices* panel) : CKVTFunction(panel, "DC Voltage") {
    const char* debug = std::getenv("KORVATA_DEBUG_CYCLE");
    if (debug != nullptr && std::strcmp(debug, "1") == 0) {
        m_cycleLog = WriteToStderr;
    }
}

CKVTFunctionDCV::~CKVTFunctionDCV() {
    Shutdown();
}

void CKVTFunctionDCV::Init() {
    CKVTFunction::Init();
    AddMenuItem(1, 0, "", "Range", "Auto", "", "", CMenuItem::kPlain);
    AddMenuItem(2, 1, "", "Speed", "Slow", "", "", CMenuItem::kPlain);
    AddMenuItem(3, 2, "", "Filter", "", "On", "Off", CMenuItem::kOptionToggle);
    AddMenuItem(4, 3, "", "InputZ", "", "10M", "10G", CMenuItem::kOptionToggle);
    AddMenuItem(5, 4, "", "Rel", "", "On", "Off", CMenuItem::kOptionToggle);
    const std::array<const char*, 6> ranges{"Auto", "200mV", "2V", "20V", "200V", "1000V"};
    for (int i = 0; i < 6; ++i) {
        AddMenuItem(7 + i, i, ranges[i], "", "", "", "", CMenuItem::kPlain);
    }
    const std::array<const char*, 3> speeds{"Slow", "Middle", "Fast"};
    for (int i = 0; i < 3; ++i) {
        AddMenuItem(13 + i, i, speeds[i], "", "", "", "", CMenuItem::kPlain);
    }
    CreateWorker();
    SetReadingText(std::string(kPlaceholder));
    SetRangeMode("Manual");
    SetRange("200mV");
    m_speed = "Slow";
    std::lock_guard<std::mutex> guard(m_textLock);
    m_scale.valid = true;
}

void CKVTFunctionDCV::SendLocked(void (*command)(std::string_view), const std::string& value,
                                 std::chrono::milliseconds pause) {
    auto guard = LockForCommand();
    command(value);
    if (pause.count() > 0) {
        link::Pause(pause);
    }
}

void CKVTFunctionDCV::OnMenuItem(int itemId) {
    if (itemId == kRangeKey) {
        ShowSoftKeys(static_cast<int>(kRangePage.size()), kRangePage.data());
    } else if (itemId == kSpeedKey) {
        ShowSoftKeys(static_cast<int>(kSpeedPage.size()), kSpeedPage.data());
    } else if (itemId == kFilterKey) {
        m_filter = GetItem(kFilterKey)->GetValue();
        SendLocked(link::SetVoltDcFilter, m_filter, kSettlePause);
    } else if (itemId == kInputZKey) {
        m_inputImpedance = GetItem(kInputZKey)->GetValue();
        SendLocked(link::SetVoltDcInputImpedance, m_inputImpedance, kSettlePause);
    } else if (itemId == kRelKey) {
        m_rel = GetItem(kRelKey)->GetValue();
        SendLocked(link::SetVoltDcNull, m_rel, kSettlePause);
    } else if (itemId >= kRangeAuto && itemId <= kRange1000V) {
        SelectInGroup(kRangeAuto, kRange1000V, itemId);
        std::string choice = GetItem(itemId)->m_keyText;
        GetItem(kRangeKey)->SetSubtitle(choice);
        // Choosing "Auto" hides the input-impedance key whatever range the
        // instrument then picks.
        ShowMainPage(itemId == kRange200mV || itemId == kRange2V);
        auto guard = LockForCommand();
        if (itemId == kRangeAuto) {
            SetRangeMode("Auto");
            link::SetVoltDcRange("Auto");
        } else {
            SetRangeMode("Manual");
            SetRange(choice);
            link::SetVoltDcRange(choice);
        }
        link::Pause(kRangePause);
    } else if (itemId >= kSpeedSlow && itemId <= kSpeedFast) {
        SelectInGroup(kSpeedSlow, kSpeedFast, itemId);
        std::string choice = GetItem(itemId)->m_keyText;
        GetItem(kSpeedKey)->SetSubtitle(choice);
        // After a speed choice the main page offers every key.
        ShowMainPage(true);
        m_speed = choice;
        SendLocked(link::SetVoltDcSpeed, m_speed, kNoPause);
    }
}

void CKVTFunctionDCV::ShowMainPage(bool withInputImpedance) {
    if (withInputImpedance) {
        ShowSoftKeys(static_cast<int>(kMainPage.size()), kMainPage.data());
    } else {
        ShowSoftKeys(static_cast<int>(kMainPageWithoutInputZ.size()),
                     kMainPageWithoutInputZ.data());
    }
}

void CKVTFunctionDCV::ShowMainMenu() {
    std::string rangeMode = GetRangeMode();
    std::string range = GetRange();
    if (rangeMode == "Auto") {
        GetItem(kRangeKey)->SetSubtitle("Auto");
        SelectInGroup(kRangeAuto, kRange1000V, kRangeAuto);
    } else {
        GetItem(kRangeKey)->SetSubtitle(range);
        bool matched = false;
        for (int id = kRange200mV; id <= kRange1000V; ++id) {
            if (GetItem(id)->m_keyText == range) {
                SelectInGroup(kRangeAuto, kRange1000V, id);
                matched = true;
            }
        }
        // A range the list does not know leaves no range item checked.
        for (int id = kRangeAuto; !matched && id <= kRange1000V; ++id) {
            GetItem(id)->m_checked = false;
        }
    }
    GetItem(kSpeedKey)->SetSubtitle(m_speed);
    const std::array<const char*, 3> speeds{"Slow", "Middle", "Fast"};
    for (int i = 0; i < 3; ++i) {
        if (m_speed == speeds[i]) {
            SelectInGroup(kSpeedSlow, kSpeedFast, kSpeedSlow + i);
        }
    }
    GetItem(kFilterKey)->SetValue(m_filter);
    GetItem(kInputZKey)->SetValue(m_inputImpedance);
    GetItem(kRelKey)->SetValue(m_rel);
    ShowMainPage(OffersInputImpedance(range));
    if (m_panel != nullptr) {
        m_panel->SetViewsUnit("V");
    }
}

void CKVTFunctionDCV::SyncFromInstrument() {
    auto guard = LockForCommand();
    CKVTFunction::SyncFromInstrument();
    SetRangeMode(link::GetVoltDcAutoRange());
    SetRange(link::GetVoltDcRange());
    m_speed = link::GetVoltDcSpeed();
    m_filter = link::GetVoltDcFilter();
    m_inputImpedance = link::GetVoltDcInputImpedance();
    m_rel = link::GetVoltDcNull();
    SyncScale();
}

bool CKVTFunctionDCV::SyncScale() {
    auto guard = LockForCommand();
    KVTScaleSettings scale = QueryScaleSettings();
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale = std::move(scale);
    return true;
}

std::string CKVTFunctionDCV::GetRangeMode() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_rangeMode;
}

void CKVTFunctionDCV::SetRangeMode(const std::string& mode) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_rangeMode = mode;
}

bool CKVTFunctionDCV::UpdateAutoRange() {
    std::string range = link::GetVoltDcRange();
    if (range.empty()) {
        return false;
    }
    SetRange(range);
    return true;
}

void CKVTFunctionDCV::SetRange(const std::string& range) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_range = range;
    if (Contains(range, "mV")) {
        m_unitLabel = "mVDC";
    } else if (Contains(range, "V")) {
        m_unitLabel = "VDC";
    }
}

std::string CKVTFunctionDCV::GetRange() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_range;
}

std::string CKVTFunctionDCV::GetBaseUnit() {
    return "V";
}

std::string CKVTFunctionDCV::GetUnitLabel() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_scale.state != 0 ? m_scale.function : m_unitLabel;
}

std::string CKVTFunctionDCV::GetDisplayText() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return DisplayText(m_readingText, m_range, m_unitLabel, m_scale.state);
}

std::string CKVTFunctionDCV::DisplayText(const std::string& reading, const std::string& range,
                                         const std::string& unitLabel, int scaleState) {
    if (reading == kPlaceholder || reading == link::kOverloadText) {
        return reading;
    }
    if (scaleState != 0) {
        return reading.substr(0, 7);
    }
    std::string text = reading;
    // Integer digits of the range: "2V" 1, "20V" 2, "200mV" 3, "1000V" 4.
    int digits = static_cast<int>(range.size()) - 1;
    if (unitLabel == "mVDC") {
        text = link::FormatFixed(link::ParseNumber(reading) * 1000, 12);
        digits = static_cast<int>(range.size()) - 2;
    }
    if (!Contains(text, "-") && !Contains(text, "+")) {
        text.insert(text.begin(), '+');
    }
    size_t point = text.find('.');
    if (point != std::string::npos) {
        int zeros = digits - static_cast<int>(point) + 1;
        if (zeros > 0) {
            text.insert(1, static_cast<size_t>(zeros), '0');
        }
    }
    return text.substr(0, 8);
}

KVTScaleSettings* CKVTFunctionDCV::GetScaleSettings() {
    return &m_scale;
}

KVTScaleSettings CKVTFunctionDCV::ScaleSnapshot() const {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_scale;
}

void CKVTFunctionDCV::SetScaleState(int state) {
    auto guard = LockForCommand();
    link::SetScaleState(state);
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale.state = state;
}

void CKVTFunctionDCV::SetScaleFunction(const std::string& function) {
    auto guard = LockForCommand();
    link::SetScaleFunction(function);
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale.function = function == "DB" ? "dB" : "dBm";
}

void CKVTFunctionDCV::SetDbReference(int reference) {
    auto guard = LockForCommand();
    link::SetDbReference(reference);
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale.dbReference = reference;
}

void CKVTFunctionDCV::SetDbmReference(int reference) {
    auto guard = LockForCommand();
    link::SetDbmReference(reference);
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale.dbmReference = reference;
}

void CKVTFunctionDCV::SetReferenceAuto(int state) {
    auto guard = LockForCommand();
    link::SetScaleAutoReference(state);
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    m_scale.referenceAuto = state;
}

void CKVTFunctionDCV::SetCycleLog(LogSink sink) {
    auto guard = LockForCommand();
    m_cycleLog = std::move(sink);
}

std::thread::id CKVTFunctionDCV::CreateWorker() {
    return LaunchWorker([this] { RunWorker(); });
}

void CKVTFunctionDCV::RunWorker() {
    std::unique_lock<std::recursive_mutex> lock(m_lock);
    while (m_worker.WaitForTurn(lock)) {
        auto begin = std::chrono::steady_clock::now();
        if (!RunCycleLocked(true)) {
            break;
        }
        // Posted before the lock is released.
        PostNewReading();
        LogCycle(std::chrono::steady_clock::now() - begin);
        lock.unlock();
        lock.lock();
    }
}

void CKVTFunctionDCV::LogCycle(std::chrono::steady_clock::duration duration) {
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
