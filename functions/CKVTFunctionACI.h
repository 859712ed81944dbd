#pragma once

#include <string>

#include "functions/CKVTRangedFunction.h"

namespace kvt::functions {

// AC current: four ranges from 20 mA to 10 A on one page, automatic
// ranging, three speeds and relative reading.
class CKVTFunctionACI : public CKVTRangedFunction {
public:
    explicit CKVTFunctionACI(IFrontPanelServices* panel);
    ~CKVTFunctionACI() override;

protected:
    std::string UnitLabelFor(const std::string& range, const std::string& current) const override;
    DisplayScale DisplayScaleFor(const std::string& range,
                                 const std::string& unitLabel) const override;
};

}  // namespace kvt::functions
