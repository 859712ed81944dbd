#pragma once

#include <string>

#include "functions/CKVTFunctionOpenReading.h"

namespace kvt::functions {

// Continuity: a beeper toggle and the threshold, which the panel's small
// edit field shows and the cursor keys (soft-key positions 6 to 9) edit
// digit by digit within 0 to 2000 ohms.
class CKVTFunctionCont : public CKVTFunctionOpenReading {
public:
    // Item ids.
    enum : int { kBeeperKey = 85, kThresholdKey = 86 };
    // Positions the front panel sends for its cursor keys.
    enum : int { kCursorLeft = 6, kCursorRight = 7, kCursorUp = 8, kCursorDown = 9 };
    static constexpr int kMaxThreshold = 2000;       // the most an edit sets
    static constexpr int kMaxShownThreshold = 9999;  // the most the field shows

    explicit CKVTFunctionCont(IFrontPanelServices* panel);
    ~CKVTFunctionCont() override;

    void OnMenuItem(int itemId) override;
    void Init() override;
    void SyncFromInstrument() override;
    void ShowMainMenu() override;
    std::string GetBaseUnit() override;
    std::string GetUnitLabel() override;
    void OnSoftKey(int position) override;
    bool HasTinyMenu() override;
    std::string GetTinyMenuText() override;
    int GetTinyMenuCursor() override;
    void GetTinyMenuRect(int& left, int& top, int& right, int& bottom) override;

    // "+0050 Ω" for 50 ohms.
    static std::string ThresholdText(int ohms);

private:
    // Adds delta to the threshold when the result stays within 0 to 2000,
    // then sends the threshold, changed or not.
    void StepThreshold(int delta);
    int ThresholdValue() const;

    // User-interface thread only.
    std::string m_threshold;
    int m_cursor = 1;
};

}  // namespace kvt::functions
