#include "functions/CKVTRangedFunction.h"

#include <algorithm>
#include <array>
#include <utility>

#include "link/Pacer.h"

namespace kvt::functions {
namespace {

// A page holds six keys; a longer range list is split over two pages.
constexpr size_t kPageSize = 6;
constexpr size_t kRangesOnFirstOfTwoPages = 4;
constexpr int kRangeKeyPosition = 0;
constexpr int kSpeedKeyPosition = 1;
constexpr int kFilterKeyPosition = 2;
constexpr int kExtraKeyPosition = 3;
constexpr int kRelKeyPosition = 4;
constexpr std::array<const char*, 3> kSpeeds{"Slow", "Middle", "Fast"};

bool Has(const std::vector<int>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

CKVTRangedFunction::CKVTRangedFunction(IFrontPanelServices* panel, std::string name,
                                       RangedFunctionShape shape)
    : CKVTFunction(panel, std::move(name)), m_shape(std::move(shape)) {
    BuildIds();
}

CKVTRangedFunction::~CKVTRangedFunction() {
    Shutdown();
}

void CKVTRangedFunction::BuildIds() {
    const RangedCommands& commands = m_shape.commands;
    int next = m_shape.firstId;
    m_rangeKey = next++;
    m_speedKey = commands.setSpeed != nullptr ? next++ : 0;
    m_filterKey = commands.setFilter != nullptr ? next++ : 0;
    m_extraKey = commands.setExtra != nullptr ? next++ : 0;
    m_relKey = next++;
    m_mainPage = {m_rangeKey};
    for (int key : {m_speedKey, m_filterKey, m_extraKey}) {
        if (key != 0) {
            m_mainPage.push_back(key);
        }
    }
    m_mainPage.push_back(m_relKey);
    if (m_shape.firstChoiceId > next) {
        next = m_shape.firstChoiceId;
    }

    size_t choices = m_shape.ranges.size() + 1;
    size_t onFirstPage = choices <= kPageSize ? choices : kRangesOnFirstOfTwoPages + 1;
    for (size_t i = 0; i < choices; ++i) {
        if (i == onFirstPage) {
            m_nextPageKey = next++;
            m_rangePage1.push_back(m_nextPageKey);
        }
        m_rangeChoices.push_back(next);
        (i < onFirstPage ? m_rangePage1 : m_rangePage2).push_back(next++);
    }
    if (!m_rangePage2.empty()) {
        m_previousPageKey = next++;
        m_rangePage2.push_back(m_previousPageKey);
    }
    for (size_t i = 0; m_speedKey != 0 && i < kSpeeds.size(); ++i) {
        m_speedChoices.push_back(next++);
    }
}

void CKVTRangedFunction::Init() {
    CKVTFunction::Init();
    AddMenuItem(m_rangeKey, kRangeKeyPosition, "", "Range", "Auto", "", "", CMenuItem::kPlain);
    if (m_speedKey != 0) {
        AddMenuItem(m_speedKey, kSpeedKeyPosition, "", "Speed", m_shape.speedSubtitle, "", "",
                    CMenuItem::kPlain);
    }
    if (m_filterKey != 0) {
        AddMenuItem(m_filterKey, kFilterKeyPosition, "", "Filter", "", "On", "Off",
                    CMenuItem::kOptionToggle);
    }
    if (m_extraKey != 0) {
        const ExtraToggle& extra = m_shape.extra;
        AddMenuItem(m_extraKey, kExtraKeyPosition, "", extra.title, "", extra.optionA,
                    extra.optionB, CMenuItem::kOptionToggle);
    }
    AddMenuItem(m_relKey, kRelKeyPosition, "", "Rel", "", "On", "Off", CMenuItem::kOptionToggle);
    for (const std::vector<int>* page : {&m_rangePage1, &m_rangePage2}) {
        for (size_t position = 0; position < page->size(); ++position) {
            int id = (*page)[position];
            std::string keyText = "Auto";
            if (id == m_nextPageKey) {
                keyText = "other->";
            } else if (id == m_previousPageKey) {
                keyText = "<-other";
            } else if (id != m_rangeChoices.front()) {
                auto index = std::find(m_rangeChoices.begin(), m_rangeChoices.end(), id) -
                             m_rangeChoices.begin();
                keyText = m_shape.ranges[static_cast<size_t>(index) - 1];
            }
            AddMenuItem(id, static_cast<int>(position), keyText, "", "", "", "", CMenuItem::kPlain);
        }
    }
    for (size_t i = 0; i < m_speedChoices.size(); ++i) {
        AddMenuItem(m_speedChoices[i], static_cast<int>(i), kSpeeds[i], "", "", "", "",
                    CMenuItem::kPlain);
    }
    CreateWorker();
    SetReadingText(std::string(kPlaceholder));
    SetRangeMode("Manual");
    SetRange(m_shape.defaultRange);
    if (m_speedKey != 0) {
        m_speed = "Slow";
    }
}

void CKVTRangedFunction::SendLocked(void (*command)(std::string_view), const std::string& value,
                                    std::chrono::milliseconds pause) {
    auto guard = LockForCommand();
    command(value);
    if (pause.count() > 0) {
        link::Pause(pause);
    }
}

bool CKVTRangedFunction::IsRangeChoice(int itemId) const {
    return Has(m_rangeChoices, itemId);
}

bool CKVTRangedFunction::IsSpeedChoice(int itemId) const {
    return Has(m_speedChoices, itemId);
}

void CKVTRangedFunction::OnMenuItem(int itemId) {
    if (itemId == 0) {
        return;  // no such key on this function
    }
    if (itemId == m_rangeKey || itemId == m_previousPageKey) {
        ShowIds(m_rangePage1);
    } else if (itemId == m_nextPageKey) {
        ShowIds(m_rangePage2);
    } else if (itemId == m_speedKey) {
        ShowIds(m_speedChoices);
    } else if (itemId == m_filterKey) {
        m_filter = GetItem(m_filterKey)->GetValue();
        SendLocked(m_shape.commands.setFilter, m_filter, kSettlePause);
    } else if (itemId == m_extraKey) {
        m_extra = GetItem(m_extraKey)->GetValue();
        SendLocked(m_shape.commands.setExtra, m_extra, kSettlePause);
    } else if (itemId == m_relKey) {
        m_rel = GetItem(m_relKey)->GetValue();
        SendLocked(m_shape.commands.setNull, m_rel, kSettlePause);
    } else if (IsRangeChoice(itemId)) {
        ChooseRange(itemId);
    } else if (IsSpeedChoice(itemId)) {
        ChooseSpeed(itemId);
    }
}

void CKVTRangedFunction::ChooseRange(int itemId) {
    SelectInGroup(m_rangeChoices.front(), m_rangeChoices.back(), itemId);
    std::string choice = GetItem(itemId)->m_keyText;
    GetItem(m_rangeKey)->SetSubtitle(choice);
    ShowMainPageFor(choice);
    auto guard = LockForCommand();
    if (itemId == m_rangeChoices.front()) {
        SetRangeMode("Auto");
        m_shape.commands.setRange("Auto");
    } else {
        SetRangeMode("Manual");
        SetRange(choice);
        m_shape.commands.setRange(choice);
    }
    link::Pause(kRangePause);
}

void CKVTRangedFunction::ChooseSpeed(int itemId) {
    SelectInGroup(m_speedChoices.front(), m_speedChoices.back(), itemId);
    std::string choice = GetItem(itemId)->m_keyText;
    GetItem(m_speedKey)->SetSubtitle(choice);
    // After a speed choice the main page offers every key.
    ShowIds(m_mainPage);
    m_speed = choice;
    SendLocked(m_shape.commands.setSpeed, m_speed, m_shape.speedPause);
}

void CKVTRangedFunction::ShowIds(const std::vector<int>& ids) {
    ShowSoftKeys(static_cast<int>(ids.size()), ids.data());
}

void CKVTRangedFunction::ShowMainPageFor(const std::string& range) {
    const std::vector<std::string>& offeredOn = m_shape.extra.offeredOn;
    if (m_extraKey == 0 ||
        std::find(offeredOn.begin(), offeredOn.end(), range) != offeredOn.end()) {
        ShowIds(m_mainPage);
        return;
    }
    std::vector<int> page = m_mainPage;
    page.erase(std::remove(page.begin(), page.end(), m_extraKey), page.end());
    ShowIds(page);
}

void CKVTRangedFunction::MarkRange(const std::string& rangeMode, const std::string& range) {
    int first = m_rangeChoices.front();
    int last = m_rangeChoices.back();
    if (rangeMode == "Auto") {
        GetItem(m_rangeKey)->SetSubtitle("Auto");
        SelectInGroup(first, last, first);
        return;
    }
    GetItem(m_rangeKey)->SetSubtitle(range);
    for (size_t i = 1; i < m_rangeChoices.size(); ++i) {
        if (GetItem(m_rangeChoices[i])->m_keyText == range) {
            SelectInGroup(first, last, m_rangeChoices[i]);
            return;
        }
    }
    // A range the list does not know leaves no range item checked.
    for (int id : m_rangeChoices) {
        GetItem(id)->m_checked = false;
    }
}

void CKVTRangedFunction::ShowMainMenu() {
    // One copy: the worker may change the range meanwhile.
    std::string range = GetRange();
    MarkRange(GetRangeMode(), range);
    if (m_speedKey != 0) {
        GetItem(m_speedKey)->SetSubtitle(m_speed);
        for (int id : m_speedChoices) {
            if (GetItem(id)->m_keyText == m_speed) {
                SelectInGroup(m_speedChoices.front(), m_speedChoices.back(), id);
            }
        }
    }
    if (m_filterKey != 0) {
        GetItem(m_filterKey)->SetValue(m_filter);
    }
    if (m_extraKey != 0) {
        GetItem(m_extraKey)->SetValue(m_extra);
    }
    GetItem(m_relKey)->SetValue(m_rel);
    ShowMainPageFor(range);
    if (m_panel != nullptr) {
        m_panel->SetViewsUnit(m_shape.baseUnit);
    }
}

void CKVTRangedFunction::SyncSettings() {
    const RangedCommands& commands = m_shape.commands;
    auto guard = LockForCommand();
    SetRangeMode(commands.getAutoRange());
    SetRange(commands.getRange());
    if (commands.getSpeed != nullptr) {
        m_speed = commands.getSpeed();
    }
    if (commands.getFilter != nullptr) {
        m_filter = commands.getFilter();
    }
    if (commands.getExtra != nullptr) {
        m_extra = commands.getExtra();
    }
    m_rel = commands.getNull();
}

void CKVTRangedFunction::SyncFromInstrument() {
    auto guard = LockForCommand();
    SyncSettings();
    CKVTFunction::SyncFromInstrument();
}

std::string CKVTRangedFunction::GetRangeMode() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_rangeMode;
}

void CKVTRangedFunction::SetRangeMode(const std::string& mode) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_rangeMode = mode;
}

bool CKVTRangedFunction::UpdateAutoRange() {
    std::string range = m_shape.commands.getRange();
    if (range.empty()) {
        return false;
    }
    SetRange(range);
    return true;
}

void CKVTRangedFunction::SetRange(const std::string& range) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_range = range;
    m_unitLabel = UnitLabelFor(range, m_unitLabel);
}

std::string CKVTRangedFunction::GetRange() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_range;
}

std::string CKVTRangedFunction::GetBaseUnit() {
    return m_shape.baseUnit;
}

std::string CKVTRangedFunction::GetUnitLabel() {
    std::lock_guard<std::mutex> guard(m_textLock);
    std::string scaledUnit;
    return ScaledUnitLocked(scaledUnit) ? scaledUnit : m_unitLabel;
}

std::string CKVTRangedFunction::RecordedUnit() {
    // The instrument sends the scaled value (dB, dBm) while scaling is on,
    // and otherwise the value in the base unit, whatever the display shows.
    std::lock_guard<std::mutex> guard(m_textLock);
    std::string scaledUnit;
    return ScaledUnitLocked(scaledUnit) ? scaledUnit : m_shape.baseUnit;
}

std::string CKVTRangedFunction::GetDisplayText() {
    std::lock_guard<std::mutex> guard(m_textLock);
    std::string scaledUnit;
    if (ScaledUnitLocked(scaledUnit)) {
        return ScaledReadingText(m_readingText);
    }
    return PaddedReadingText(m_readingText, DisplayScaleFor(m_range, m_unitLabel));
}

bool CKVTRangedFunction::ScaledUnitLocked(std::string&) const {
    return false;
}

std::thread::id CKVTRangedFunction::CreateWorker() {
    return LaunchReadingWorker();
}

}  // namespace kvt::functions
