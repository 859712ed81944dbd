#include "functions/CKVTFunctionFreqPer.h"

#include <array>
#include <chrono>
#include <cmath>

#include "link/CoreCommands.h"
#include "link/Numbers.h"
#include "link/Pacer.h"
#include "link/RangeCommands.h"
#include "link/ReadingReply.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

constexpr std::chrono::milliseconds kSettlePause{100};
constexpr std::chrono::milliseconds kRangePause{300};

constexpr std::array<int, 3> kMainPage{76, 77, 78};
constexpr std::array<int, 6> kRangePage{79, 80, 81, 82, 83, 84};

// The key texts of the range page ("20v" is written in lower case on the
// key) and the range texts the instrument reports for the same items.
constexpr std::array<const char*, 6> kRangeKeys{"Auto", "200mV", "2V", "20v", "200V", "750V"};
constexpr std::array<const char*, 6> kRangeTexts{"Auto", "200mV", "2V", "20V", "200V", "750V"};

constexpr std::array<const char*, 5> kFrequencyUnits{"uHz", "mHz", "Hz", "KHz", "MHz"};
constexpr std::array<const char*, 5> kPeriodUnits{"nS", "uS", "mS", "S", "KS"};
// Each list starts at its unprefixed unit ("Hz", "S").
constexpr size_t kFrequencyStart = 2;
constexpr size_t kPeriodStart = 3;
constexpr size_t kLastUnit = 4;
constexpr size_t kShownLength = 8;

constexpr const char* kFrequencyTitle = "Frequency";
constexpr const char* kPeriodTitle = "Period";

}  // namespace

CKVTFunctionFreqPer::CKVTFunctionFreqPer(IFrontPanelServices* panel)
    : CKVTFunction(panel, kFrequencyTitle) {}

CKVTFunctionFreqPer::~CKVTFunctionFreqPer() {
    Shutdown();
}

void CKVTFunctionFreqPer::Init() {
    CKVTFunction::Init();
    AddMenuItem(kModeKey, 0, "", "Freq", "Period", "", "", CMenuItem::kTitleToggle);
    AddMenuItem(kRangeKey, 1, "", "Range", "Auto", "", "", CMenuItem::kPlain);
    AddMenuItem(kRelKey, 4, "", "Rel", "", "On", "Off", CMenuItem::kOptionToggle);
    for (int i = 0; i < 6; ++i) {
        AddMenuItem(kRangeAuto + i, i, kRangeKeys[i], "", "", "", "", CMenuItem::kPlain);
    }
    CreateWorker();
    CKVTFunction::SetReadingText(std::string(kPlaceholder));
    SetRangeMode("Manual");
    SetRange("200mV");
    std::lock_guard<std::mutex> guard(m_textLock);
    m_unitLabel = "Hz";
}

bool CKVTFunctionFreqPer::IsFrequency() const {
    return GetName() == kFrequencyTitle;
}

void CKVTFunctionFreqPer::SetMode(bool frequency) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_name = frequency ? kFrequencyTitle : kPeriodTitle;
}

void CKVTFunctionFreqPer::ShowMainPage() {
    ShowSoftKeys(static_cast<int>(kMainPage.size()), kMainPage.data());
}

void CKVTFunctionFreqPer::OnMenuItem(int itemId) {
    if (itemId == kModeKey) {
        bool frequency = GetItem(kModeKey)->GetTitleChoice() == "Freq";
        {
            // Under the lock, so that no reading is prefixed for one mode
            // and labelled for the other.
            auto guard = LockForCommand();
            SetMode(frequency);
            {
                std::lock_guard<std::mutex> text(m_textLock);
                m_unitLabel = frequency ? "Hz" : "S";
            }
            link::SetFunction(frequency ? "FREQ" : "PER");
            link::Pause(kSettlePause);
        }
        if (m_panel != nullptr) {
            m_panel->SetViewsUnit(frequency ? "Hz" : "S");
        }
    } else if (itemId == kRangeKey) {
        ShowSoftKeys(static_cast<int>(kRangePage.size()), kRangePage.data());
    } else if (itemId == kRelKey) {
        m_rel = GetItem(kRelKey)->GetValue();
        // Sent through the connection's own lock only, with no settle pause.
        link::SetFreqNull(m_rel);
    } else if (itemId >= kRangeAuto && itemId <= kRange750V) {
        SelectInGroup(kRangeAuto, kRange750V, itemId);
        std::string choice = GetItem(itemId)->m_keyText;
        GetItem(kRangeKey)->SetSubtitle(choice);
        ShowMainPage();
        auto guard = LockForCommand();
        if (itemId == kRangeAuto) {
            SetRangeMode("Auto");
            link::SetFreqRange("Auto");
        } else {
            SetRangeMode("Manual");
            SetRange(choice);
            link::SetFreqRange(choice);
        }
        link::Pause(kRangePause);
    }
}

void CKVTFunctionFreqPer::ShowMainMenu() {
    GetItem(kModeKey)->SetTitleChoice(IsFrequency() ? "Freq" : "Period");
    std::string rangeMode = GetRangeMode();
    std::string range = GetRange();
    if (rangeMode == "Auto") {
        GetItem(kRangeKey)->SetSubtitle("Auto");
        SelectInGroup(kRangeAuto, kRange750V, kRangeAuto);
    } else {
        GetItem(kRangeKey)->SetSubtitle(range);
        // Matched against the instrument's range texts: the key text "20v"
        // itself selects nothing.
        for (int i = 1; i < 6; ++i) {
            if (range == kRangeTexts[i]) {
                SelectInGroup(kRangeAuto, kRange750V, kRangeAuto + i);
            }
        }
    }
    GetItem(kRelKey)->SetValue(m_rel);
    ShowMainPage();
    if (m_panel != nullptr) {
        // The views are labelled in hertz in both modes.
        m_panel->SetViewsUnit("Hz");
    }
}

void CKVTFunctionFreqPer::SyncFromInstrument() {
    auto guard = LockForCommand();
    SetMode(link::GetFunction() == "FREQ");
    SetRangeMode(link::GetFreqAutoRange());
    SetRange(link::GetFreqRange());
    m_rel = link::GetFreqNull();
    CKVTFunction::SyncFromInstrument();
}

CKVTFunctionFreqPer::Prefixed CKVTFunctionFreqPer::WithPrefix(const std::string& reading,
                                                              bool frequency) {
    const auto& units = frequency ? kFrequencyUnits : kPeriodUnits;
    const size_t start = frequency ? kFrequencyStart : kPeriodStart;
    if (reading == link::kOverloadText || link::IsOverload(reading)) {
        return {std::string(link::kOverloadText), units[start]};
    }
    double value = link::ParseNumber(reading);
    size_t unit = start;
    // Stepped on the magnitude, so that a negative (relative) reading gets
    // the same prefix as its positive counterpart.
    while (std::fabs(value) < 1 && unit > 0) {
        --unit;
        value *= 1000;
    }
    while (std::fabs(value) > 1000 && unit < kLastUnit) {
        ++unit;
        value /= 1000;
    }
    std::string text = link::FormatFixed(value, 12);
    if (text.find('-') == std::string::npos) {
        text.insert(text.begin(), '+');
    }
    // An integer part that eight characters cannot hold would be shown cut
    // short, a thousand times too small or worse.
    if (text.find('.') > kShownLength) {
        return {std::string(link::kOverloadText), units[start]};
    }
    return {text.substr(0, kShownLength), units[unit]};
}

void CKVTFunctionFreqPer::SetReadingText(const std::string& text) {
    if (text == kPlaceholder) {
        CKVTFunction::SetReadingText(text);
        return;
    }
    bool frequency = IsFrequency();
    Prefixed shown = WithPrefix(text, frequency);
    std::lock_guard<std::mutex> guard(m_textLock);
    m_readingText = std::move(shown.text);
    m_unitLabel = std::move(shown.unit);
}

std::string CKVTFunctionFreqPer::GetDisplayText() {
    return GetReadingText();
}

std::string CKVTFunctionFreqPer::GetRangeMode() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_rangeMode;
}

void CKVTFunctionFreqPer::SetRangeMode(const std::string& mode) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_rangeMode = mode;
}

bool CKVTFunctionFreqPer::UpdateAutoRange() {
    std::string range = link::GetFreqRange();
    if (range.empty()) {
        return false;
    }
    SetRange(range);
    return true;
}

void CKVTFunctionFreqPer::SetRange(const std::string& range) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_range = range;
}

std::string CKVTFunctionFreqPer::GetRange() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_range;
}

std::string CKVTFunctionFreqPer::GetBaseUnit() {
    return IsFrequency() ? "Hz" : "S";
}

std::string CKVTFunctionFreqPer::GetUnitLabel() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_unitLabel;
}

std::thread::id CKVTFunctionFreqPer::CreateWorker() {
    return LaunchReadingWorker();
}

}  // namespace kvt::functions
