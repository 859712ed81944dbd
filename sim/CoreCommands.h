#pragma once

#include <vector>

#include "sim/CommandEntry.h"

namespace kvt::sim {

// IEEE 488.2 common commands, the error queue, function selection, trigger
// and sample settings, INIT, the last reading, front-panel key codes and the
// simulation's own test aids (ECHO?, SIMulate:INPut).
class CoreCommands {
public:
    static const std::vector<CommandEntry>& Entries();
};

}  // namespace kvt::sim
