#include "visa/ResourceManager.h"
#include "visa/SimulatedInterface.h"

namespace kvt::visa {

std::vector<std::unique_ptr<InterfaceProvider>> CreateInterfaceProviders() {
    std::vector<std::unique_ptr<InterfaceProvider>> providers;
    // The simulation comes first so that, when enabled, it takes TCPIP
    // INSTR names before the network interfaces see them.
    providers.push_back(std::make_unique<SimulatedInterface>());
    return providers;
}

}  // namespace kvt::visa
