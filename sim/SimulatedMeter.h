#pragma once

#include <memory>

#include "sim/MeterModel.h"

namespace kvt::sim {

// The one simulated meter of this process, which the VISA layer's
// in-process simulation opens.
std::shared_ptr<MeterModel> ProcessMeter();

// Plugs ProcessMeter() into the VISA layer's simulation.
void InstallSimulatedMeter();

}  // namespace kvt::sim
