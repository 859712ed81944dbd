#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "functions/CKVTFunction.h"
#include "functions/ReadingDisplay.h"

namespace kvt::functions {

// The instrument commands of one ranged function. Speed and filter are
// null where the function has no such setting.
struct RangedCommands {
    void (*setRange)(std::string_view label) = nullptr;
    void (*setSpeed)(std::string_view label) = nullptr;
    void (*setFilter)(std::string_view label) = nullptr;
    void (*setNull)(std::string_view label) = nullptr;
    std::string (*getAutoRange)() = nullptr;
    std::string (*getRange)() = nullptr;
    std::string (*getSpeed)() = nullptr;
    std::string (*getFilter)() = nullptr;
    std::string (*getNull)() = nullptr;
    // A further toggle at position 3 (DC voltage's input impedance).
    void (*setExtra)(std::string_view label) = nullptr;
    std::string (*getExtra)() = nullptr;
};

// The further toggle key, where a function has one: its texts and the
// ranges on which the main page offers it (after a speed choice the main
// page offers it whatever the range).
struct ExtraToggle {
    std::string title;
    std::string optionA;
    std::string optionB;
    std::vector<std::string> offeredOn;
};

// What tells one ranged function from another: its unit, its soft-key
// ids, its range list and its commands.
//
// The ids follow from firstId in this order: the main-page keys "Range"
// (position 0), "Speed" (1, if any), "Filter" (2, if any), the further
// toggle (3, if any) and "Rel" (4); then, from firstChoiceId when it is
// set, the range list, "Auto" first; then the speed list "Slow", "Middle",
// "Fast" (if any). A range list of up to six keys is one page; a longer one
// shows "Auto", four ranges and "other->" on its first page and the rest
// with "<-other" after them on its second.
struct RangedFunctionShape {
    std::string baseUnit;
    int firstId = 0;
    std::string speedSubtitle;  // the speed key's subtitle until ShowMainMenu
    std::vector<std::string> ranges;
    std::string defaultRange;
    RangedCommands commands;
    ExtraToggle extra;  // used when commands.setExtra is set
    int firstChoiceId = 0;
    // The settle pause after a speed command (none when zero).
    std::chrono::milliseconds speedPause{100};
};

// The shared form of the functions with a range list and a relative
// reading (DC and AC voltage and current, both resistances, capacitance):
// their soft-key pages, the commands each key sends under the function's
// lock with its settle pause, the settings read back from the instrument,
// automatic ranging and the main display. Each concrete function gives
// its shape, its unit-label rule and its display scaling.
class CKVTRangedFunction : public CKVTFunction {
public:
    ~CKVTRangedFunction() override;

    void OnMenuItem(int itemId) override;
    void Init() override;
    void SyncFromInstrument() override;
    void ShowMainMenu() override;
    std::string GetDisplayText() override;
    std::string GetRangeMode() override;
    bool UpdateAutoRange() override;
    void SetRange(const std::string& range) override;
    std::string GetRange() override;
    std::string GetBaseUnit() override;
    std::string GetUnitLabel() override;
    std::thread::id CreateWorker() override;

    // The settings the user-interface thread keeps.
    std::string GetSpeed() const { return m_speed; }
    std::string GetFilter() const { return m_filter; }
    std::string GetRel() const { return m_rel; }
    std::string GetExtra() const { return m_extra; }

    // Item ids of the keys; 0 where the function has no such key.
    int RangeKeyId() const { return m_rangeKey; }
    int SpeedKeyId() const { return m_speedKey; }
    int FilterKeyId() const { return m_filterKey; }
    int RelKeyId() const { return m_relKey; }
    // The range list: "Auto" first, then the ranges in order.
    const std::vector<int>& RangeChoiceIds() const { return m_rangeChoices; }
    // The speed list, or empty.
    const std::vector<int>& SpeedChoiceIds() const { return m_speedChoices; }

protected:
    static constexpr std::chrono::milliseconds kSettlePause{100};
    static constexpr std::chrono::milliseconds kRangePause{300};

    CKVTRangedFunction(IFrontPanelServices* panel, std::string name, RangedFunctionShape shape);

    // The unit label that a range text gives, the current one when the
    // text names no unit of this function.
    virtual std::string UnitLabelFor(const std::string& range,
                                     const std::string& current) const = 0;
    // The scaling and integer digits of the main display on a range.
    virtual DisplayScale DisplayScaleFor(const std::string& range,
                                         const std::string& unitLabel) const = 0;
    // With m_textLock held: true, with the unit, while the reading is
    // shown in dB or dBm.
    virtual bool ScaledUnitLocked(std::string& unit) const;
    std::string RecordedUnit() override;

    // Range mode, range, speed, filter, the further toggle and relative
    // reading from the instrument, in that order.
    void SyncSettings();
    void SetRangeMode(const std::string& mode);
    // Under the function's lock: the command, then the pause (if any).
    void SendLocked(void (*command)(std::string_view), const std::string& value,
                    std::chrono::milliseconds pause);

private:
    void BuildIds();
    void ShowIds(const std::vector<int>& ids);
    // The main page for a range text (or "Auto"): without the further
    // toggle where that range does not offer it.
    void ShowMainPageFor(const std::string& range);
    void ChooseRange(int itemId);
    void ChooseSpeed(int itemId);
    void MarkRange(const std::string& rangeMode, const std::string& range);
    bool IsRangeChoice(int itemId) const;
    bool IsSpeedChoice(int itemId) const;

    RangedFunctionShape m_shape;
    int m_rangeKey = 0;
    int m_speedKey = 0;
    int m_filterKey = 0;
    int m_relKey = 0;
    int m_extraKey = 0;
    int m_nextPageKey = 0;
    int m_previousPageKey = 0;
    std::vector<int> m_rangeChoices;
    std::vector<int> m_speedChoices;
    std::vector<int> m_mainPage;
    std::vector<int> m_rangePage1;
    std::vector<int> m_rangePage2;

    // Guarded by m_textLock: the worker changes them (automatic range)
    // while the display reads them.
    std::string m_rangeMode;
    std::string m_range;
    std::string m_unitLabel;
    // Written and read on the user-interface thread only.
    std::string m_speed;
    std::string m_filter;
    std::string m_rel;
    std::string m_extra;
};

}  // namespace kvt::functions
