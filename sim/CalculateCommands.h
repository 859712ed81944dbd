#pragma once

#include <vector>

#include "sim/CommandEntry.h"

namespace kvt::sim {

// The CALCulate tree: statistics (AVERage), limits, dB/dBm scaling, the
// trend record and the histogram.
class CalculateCommands {
public:
    static const std::vector<CommandEntry>& Entries();
};

}  // namespace kvt::sim
