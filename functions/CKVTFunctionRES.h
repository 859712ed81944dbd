#pragma once

#include <string>

#include "functions/CKVTRangedFunction.h"

namespace kvt::functions {

// 2-wire resistance: seven ranges from 200 Ω to 100 MΩ on two pages,
// automatic ranging, three speeds and relative reading. The display shows
// one integer digit more than the range's own.
class CKVTFunctionRES : public CKVTRangedFunction {
public:
    explicit CKVTFunctionRES(IFrontPanelServices* panel);
    ~CKVTFunctionRES() override;

protected:
    // The soft keys of a resistance function from firstId on, with its
    // commands.
    static RangedFunctionShape ResistanceShape(int firstId, const RangedCommands& commands);
    CKVTFunctionRES(IFrontPanelServices* panel, std::string name, RangedFunctionShape shape);

    std::string UnitLabelFor(const std::string& range, const std::string& current) const override;
    DisplayScale DisplayScaleFor(const std::string& range,
                                 const std::string& unitLabel) const override;
};

}  // namespace kvt::functions
