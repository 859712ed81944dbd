#pragma once

#include <string>

#include "functions/CKVTRangedFunction.h"

namespace kvt::functions {

// Capacitance: seven ranges from 2 nF to 10000 uF on two pages, automatic
// ranging and relative reading; no speed setting.
class CKVTFunctionCap : public CKVTRangedFunction {
public:
    explicit CKVTFunctionCap(IFrontPanelServices* panel);
    ~CKVTFunctionCap() override;

protected:
    std::string UnitLabelFor(const std::string& range, const std::string& current) const override;
    DisplayScale DisplayScaleFor(const std::string& range,
                                 const std::string& unitLabel) const override;
};

}  // namespace kvt::functions
