#pragma once

#include "sim/CommandContext.h"

namespace kvt::sim {

// The per-function settings: "<function>:RANGe", ":RANGe:AUTO", ":NPLCycles",
// ":FILTer", ":IMPedance" (or ":INPUTZ"), ":NULL", "CONTinuity:THReshold",
// for every function that offers them, with their queries.
class SettingsCommands {
public:
    // False when the header is none of these (nothing queued then).
    static bool Execute(CommandContext& context);
};

}  // namespace kvt::sim
