#include "tests/app/MeterSession.h"

#include <stdlib.h>

#include "link/IConnection.h"
#include "sim/MeterModel.h"
#include "visa/Simulation.h"

namespace kvt::test {

MeterSession::MeterSession()
    : m_device(std::make_shared<RecordingDevice>(std::make_shared<sim::MeterModel>(11))) {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    visa::InstallSimulatedDevice([device = m_device] { return device; });
    link::InstallPacer(&m_pacer);
}

MeterSession::~MeterSession() {
    link::GetConnection()->Close();
    link::InstallPacer(nullptr);
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

std::vector<std::string> MeterSession::Sent() {
    std::vector<std::string> sent = m_device->Messages();
    m_device->ClearMessages();
    return sent;
}

NoSimulation::NoSimulation() {
    unsetenv("KORVATA_VISA_SIMULATE");
}

NoSimulation::~NoSimulation() {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
}

}  // namespace kvt::test
