#pragma once

#include <functional>
#include <memory>
#include <string>

#include "visa/MessageDevice.h"

namespace kvt::visa {

// The in-process simulation. When KORVATA_VISA_SIMULATE=1, "USB?*INSTR"
// lists one simulated meter and every TCPIP INSTR resource opens it. The
// VISA layer does not know the meter: a model is plugged in here by
// whoever links one (the program, the shared VISA library, tests).
using SimulatedDeviceFactory = std::function<std::shared_ptr<MessageDevice>()>;

void InstallSimulatedDevice(SimulatedDeviceFactory factory);
bool SimulationEnabled();

// The USB resource name under which the simulated meter is listed.
inline constexpr const char* kSimulatedUsbResource = "USB0::0x1209::0x4B56::KVSIM0001::INSTR";

}  // namespace kvt::visa
