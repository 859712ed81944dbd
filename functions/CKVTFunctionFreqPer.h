#pragma once

#include <string>
#include <thread>

#include "functions/CKVTFunction.h"

namespace kvt::functions {

// Frequency and period in one object (the front panel files it under both
// "FREQ" and "PER"): a title toggle that switches the instrument between
// the two, the input voltage range with automatic ranging, and a relative
// reading. Readings are shown with a unit prefix chosen per reading.
class CKVTFunctionFreqPer : public CKVTFunction {
public:
    // Item ids.
    enum : int {
        kModeKey = 76,
        kRangeKey = 77,
        kRelKey = 78,
        kRangeAuto = 79,
        kRange750V = 84,
    };

    explicit CKVTFunctionFreqPer(IFrontPanelServices* panel);
    ~CKVTFunctionFreqPer() override;

    void OnMenuItem(int itemId) override;
    void Init() override;
    void SyncFromInstrument() override;
    void ShowMainMenu() override;
    void SetReadingText(const std::string& text) override;
    std::string GetDisplayText() override;
    std::string GetRangeMode() override;
    bool UpdateAutoRange() override;
    void SetRange(const std::string& range) override;
    std::string GetRange() override;
    std::string GetBaseUnit() override;
    std::string GetUnitLabel() override;
    std::thread::id CreateWorker() override;

    std::string GetRel() const { return m_rel; }
    bool IsFrequency() const;

    // A reading text as shown in frequency (true) or period mode: the value
    // scaled into the unit list, signed and cut to eight characters, and
    // the unit reached. An overload (or a value too large for the last
    // unit) is "Overload" with the unprefixed unit.
    struct Prefixed {
        std::string text;
        std::string unit;
    };
    static Prefixed WithPrefix(const std::string& reading, bool frequency);

private:
    void SetMode(bool frequency);
    void SetRangeMode(const std::string& mode);
    void ShowMainPage();

    // Guarded by m_textLock: the worker changes them while the display
    // reads them.
    std::string m_rangeMode;
    std::string m_range;
    std::string m_unitLabel;
    // User-interface thread only.
    std::string m_rel;
};

}  // namespace kvt::functions
