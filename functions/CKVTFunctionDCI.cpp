#include "functions/CKVTFunctionDCI.h"

#include "functions/CurrentUnits.h"
#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

RangedFunctionShape Shape() {
    RangedFunctionShape shape;
    shape.baseUnit = "A";
    shape.firstId = 16;
    shape.speedSubtitle = "Middle";
    shape.ranges = {"200uA", "2mA", "20mA", "200mA", "2A", "10A"};
    shape.defaultRange = "10A";
    shape.commands.setRange = link::SetCurrDcRange;
    shape.commands.setSpeed = link::SetCurrDcSpeed;
    shape.commands.setFilter = link::SetCurrDcFilter;
    shape.commands.setNull = link::SetCurrDcNull;
    shape.commands.getAutoRange = link::GetCurrDcAutoRange;
    shape.commands.getRange = link::GetCurrDcRange;
    shape.commands.getSpeed = link::GetCurrDcSpeed;
    shape.commands.getFilter = link::GetCurrDcFilter;
    shape.commands.getNull = link::GetCurrDcNull;
    return shape;
}

}  // namespace

CKVTFunctionDCI::CKVTFunctionDCI(IFrontPanelServices* panel)
    : CKVTRangedFunction(panel, "DC Current", Shape()) {}

CKVTFunctionDCI::~CKVTFunctionDCI() {
    Shutdown();
}

std::string CKVTFunctionDCI::UnitLabelFor(const std::string& range,
                                          const std::string& current) const {
    return CurrentUnitLabel(range, "DC", true, current);
}

DisplayScale CKVTFunctionDCI::DisplayScaleFor(const std::string& range,
                                              const std::string& unitLabel) const {
    return CurrentDisplayScale(range, unitLabel, "DC");
}

}  // namespace kvt::functions
