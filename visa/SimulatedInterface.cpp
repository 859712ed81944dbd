#include "visa/SimulatedInterface.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "visa/SimulatedSession.h"
#include "visa/Simulation.h"

namespace kvt::visa {
namespace {

std::mutex& FactoryMutex() {
    static std::mutex mutex;
    return mutex;
}

SimulatedDeviceFactory& Factory() {
    static SimulatedDeviceFactory factory;
    return factory;
}

const ResourceName& SimulatedUsbName() {
    static const ResourceName name = *ResourceName::Parse(kSimulatedUsbResource);
    return name;
}

}  // namespace

void InstallSimulatedDevice(SimulatedDeviceFactory factory) {
    std::lock_guard<std::mutex> lock(FactoryMutex());
    Factory() = std::move(factory);
}

bool SimulationEnabled() {
    const char* value = std::getenv("KORVATA_VISA_SIMULATE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

bool SimulatedInterface::Serves(const ResourceName& name) const {
    if (!SimulationEnabled()) {
        return false;
    }
    if (name.kind == InterfaceKind::Tcpip) {
        return name.resourceClass == ResourceClass::Instr;
    }
    const ResourceName& sim = SimulatedUsbName();
    return name.vendorId == sim.vendorId && name.productId == sim.productId &&
           name.serial == sim.serial;
}

std::vector<std::string> SimulatedInterface::ListResources() {
    if (!SimulationEnabled()) {
        return {};
    }
    return {kSimulatedUsbResource};
}

ViStatus SimulatedInterface::Open(const ResourceName& name, ViUInt32 /*openTimeoutMs*/,
                                  std::unique_ptr<Session>& session) {
    std::shared_ptr<MessageDevice> device;
    {
        std::lock_guard<std::mutex> lock(FactoryMutex());
        if (Factory()) {
            device = Factory()();
        }
    }
    if (!device) {
        return VI_ERROR_RSRC_NFOUND;
    }
    ViUInt16 type = name.kind == InterfaceKind::Tcpip ? VI_INTF_TCPIP : VI_INTF_USB;
    session =
        std::make_unique<SimulatedSession>(name.Canonical(), type, name.board, std::move(device));
    return VI_SUCCESS;
}

}  // namespace kvt::visa
