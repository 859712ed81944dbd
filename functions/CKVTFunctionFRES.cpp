#include "functions/CKVTFunctionFRES.h"

#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

RangedCommands FourWireCommands() {
    RangedCommands commands;
    commands.setRange = link::SetFresRange;
    commands.setSpeed = link::SetFresSpeed;
    commands.setNull = link::SetFresNull;
    commands.getAutoRange = link::GetFresAutoRange;
    commands.getRange = link::GetFresRange;
    commands.getSpeed = link::GetFresSpeed;
    commands.getNull = link::GetFresNull;
    return commands;
}

}  // namespace

CKVTFunctionFRES::CKVTFunctionFRES(IFrontPanelServices* panel)
    : CKVTFunctionRES(panel, "4 Wire Resistance", ResistanceShape(48, FourWireCommands())) {}

CKVTFunctionFRES::~CKVTFunctionFRES() {
    Shutdown();
}

}  // namespace kvt::functions
