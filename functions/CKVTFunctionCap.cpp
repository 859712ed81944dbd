#include "functions/CKVTFunctionCap.h"

#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

RangedFunctionShape Shape() {
    RangedFunctionShape shape;
    shape.baseUnit = "F";
    shape.firstId = 64;
    shape.ranges = {"2nF", "20nF", "200nF", "2uF", "20uF", "200uF", "10000uF"};
    shape.defaultRange = "200nF";
    shape.commands.setRange = link::SetCapRange;
    shape.commands.setNull = link::SetCapNull;
    shape.commands.getAutoRange = link::GetCapAutoRange;
    shape.commands.getRange = link::GetCapRange;
    shape.commands.getNull = link::GetCapNull;
    return shape;
}

}  // namespace

CKVTFunctionCap::CKVTFunctionCap(IFrontPanelServices* panel)
    : CKVTRangedFunction(panel, "Capacitance", Shape()) {}

CKVTFunctionCap::~CKVTFunctionCap() {
    Shutdown();
}

std::string CKVTFunctionCap::UnitLabelFor(const std::string& range, const std::string&) const {
    return range.find("nF") != std::string::npos ? "nF" : "uF";
}

DisplayScale CKVTFunctionCap::DisplayScaleFor(const std::string& range,
                                              const std::string& unitLabel) const {
    int digits = static_cast<int>(range.size()) - 2;
    if (unitLabel == "nF") {
        return {1000000000, 1, digits};
    }
    return {1000000, 1, digits};
}

}  // namespace kvt::functions
