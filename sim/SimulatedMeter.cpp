#include "sim/SimulatedMeter.h"

#include "visa/Simulation.h"

namespace kvt::sim {

std::shared_ptr<MeterModel> ProcessMeter() {
    static std::shared_ptr<MeterModel> meter = std::make_shared<MeterModel>();
    return meter;
}

void InstallSimulatedMeter() {
    visa::InstallSimulatedDevice([] { return ProcessMeter(); });
}

}  // namespace kvt::sim
