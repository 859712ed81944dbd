#pragma once

#include <vector>

#include "sim/CommandEntry.h"

namespace kvt::sim {

// Temperature: the transducer in use, the built-in and user transducer
// lists and point tables, the sensor's own reading (TEMP:CAD?), the
// temperature unit, and the beeper.
class TemperatureCommands {
public:
    static const std::vector<CommandEntry>& Entries();
};

}  // namespace kvt::sim
