#include "functions/CKVTFunctionACI.h"

#include "functions/CurrentUnits.h"
#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

RangedFunctionShape Shape() {
    RangedFunctionShape shape;
    shape.baseUnit = "A";
    shape.firstId = 113;
    shape.speedSubtitle = "Slow";
    shape.ranges = {"20mA", "200mA", "2A", "10A"};
    shape.defaultRange = "10A";
    shape.commands.setRange = link::SetCurrAcRange;
    shape.commands.setSpeed = link::SetCurrAcSpeed;
    shape.commands.setNull = link::SetCurrAcNull;
    shape.commands.getAutoRange = link::GetCurrAcAutoRange;
    shape.commands.getRange = link::GetCurrAcRange;
    shape.commands.getSpeed = link::GetCurrAcSpeed;
    shape.commands.getNull = link::GetCurrAcNull;
    return shape;
}

}  // namespace

CKVTFunctionACI::CKVTFunctionACI(IFrontPanelServices* panel)
    : CKVTRangedFunction(panel, "AC Current", Shape()) {}

CKVTFunctionACI::~CKVTFunctionACI() {
    Shutdown();
}

std::string CKVTFunctionACI::UnitLabelFor(const std::string& range,
                                          const std::string& current) const {
    // AC current has no microamp range.
    return CurrentUnitLabel(range, "AC", false, current);
}

DisplayScale CKVTFunctionACI::DisplayScaleFor(const std::string& range,
                                              const std::string& unitLabel) const {
    return CurrentDisplayScale(range, unitLabel, "AC");
}

}  // namespace kvt::functions
