#pragma once

#include <string>

#include "functions/CKVTFunctionOpenReading.h"

namespace kvt::functions {

// Diode test: a single beeper key; nothing is read back when the function
// becomes current, and the limit settings are read when its menu is shown.
class CKVTFunctionDiode : public CKVTFunctionOpenReading {
public:
    enum : int { kBeeperKey = 87 };

    explicit CKVTFunctionDiode(IFrontPanelServices* panel);
    ~CKVTFunctionDiode() override;

    void OnMenuItem(int itemId) override;
    void Init() override;
    void SyncFromInstrument() override;
    void ShowMainMenu() override;
    std::string GetBaseUnit() override;
    std::string GetUnitLabel() override;
};

}  // namespace kvt::functions
