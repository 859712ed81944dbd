#pragma once

#include <string>

#include "functions/CKVTRangedFunction.h"

namespace kvt::functions {

// DC current: six ranges from 200 uA to 10 A on two pages, automatic
// ranging, three speeds, filter and relative reading.
class CKVTFunctionDCI : public CKVTRangedFunction {
public:
    explicit CKVTFunctionDCI(IFrontPanelServices* panel);
    ~CKVTFunctionDCI() override;

protected:
    std::string UnitLabelFor(const std::string& range, const std::string& current) const override;
    DisplayScale DisplayScaleFor(const std::string& range,
                                 const std::string& unitLabel) const override;
};

}  // namespace kvt::functions
