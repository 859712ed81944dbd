#include "visa/ResourceManager.h"
#include "visa/SimulatedInterface.h"
#include "visa/SocketInterface.h"
#include "visa/UsbInterface.h"
#include "visa/Vxi11Interface.h"

namespace kvt::visa {

std::vector<std::unique_ptr<InterfaceProvider>> CreateInterfaceProviders() {
    std::vector<std::unique_ptr<InterfaceProvider>> providers;
    // The simulation comes first so that, when enabled, it takes TCPIP
    // INSTR names before the network interfaces see them.
    providers.push_back(std::make_unique<SimulatedInterface>());
    providers.push_back(std::make_unique<UsbInterface>());
    providers.push_back(std::make_unique<Vxi11Interface>());
    providers.push_back(std::make_unique<SocketInterface>());
    return providers;
}

}  // namespace kvt::visa
