#pragma once

#include "visa/InterfaceProvider.h"

namespace kvt::visa {

// Serves the simulated meter in process when simulation is enabled.
class SimulatedInterface : public InterfaceProvider {
public:
    bool Serves(const ResourceName& name) const override;
    std::vector<std::string> ListResources() override;
    ViStatus Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                  std::unique_ptr<Session>& session) override;
};

}  // namespace kvt::visa
