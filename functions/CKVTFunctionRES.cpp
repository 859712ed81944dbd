#include "functions/CKVTFunctionRES.h"

#include <utility>

#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

RangedCommands TwoWireCommands() {
    RangedCommands commands;
    commands.setRange = link::SetResRange;
    commands.setSpeed = link::SetResSpeed;
    commands.setNull = link::SetResNull;
    commands.getAutoRange = link::GetResAutoRange;
    commands.getRange = link::GetResRange;
    commands.getSpeed = link::GetResSpeed;
    commands.getNull = link::GetResNull;
    return commands;
}

}  // namespace

RangedFunctionShape CKVTFunctionRES::ResistanceShape(int firstId, const RangedCommands& commands) {
    RangedFunctionShape shape;
    shape.baseUnit = "Ω";
    shape.firstId = firstId;
    shape.speedSubtitle = "Slow";
    shape.ranges = {"200Ω", "2KΩ", "20KΩ", "200KΩ", "2MΩ", "10MΩ", "100MΩ"};
    shape.defaultRange = "200Ω";
    shape.commands = commands;
    return shape;
}

CKVTFunctionRES::CKVTFunctionRES(IFrontPanelServices* panel)
    : CKVTFunctionRES(panel, "2 Wire Resistance", ResistanceShape(32, TwoWireCommands())) {}

CKVTFunctionRES::CKVTFunctionRES(IFrontPanelServices* panel, std::string name,
                                 RangedFunctionShape shape)
    : CKVTRangedFunction(panel, std::move(name), std::move(shape)) {}

CKVTFunctionRES::~CKVTFunctionRES() {
    Shutdown();
}

std::string CKVTFunctionRES::UnitLabelFor(const std::string& range, const std::string&) const {
    if (range.find("KΩ") != std::string::npos) {
        return "KΩ";
    }
    if (range.find("MΩ") != std::string::npos) {
        return "MΩ";
    }
    return "Ω";
}

DisplayScale CKVTFunctionRES::DisplayScaleFor(const std::string& range,
                                              const std::string& unitLabel) const {
    // One zero more than the range's own digits: "200Ω" pads to 4, "2KΩ" to 2.
    int digits = LeadingDigits(range) + 1;
    if (unitLabel == "KΩ") {
        return {1, 1000, digits};
    }
    if (unitLabel == "MΩ") {
        return {1, 1000000, digits};
    }
    return {1, 1, digits};
}

}  // namespace kvt::functions
