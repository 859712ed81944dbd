#include "tests/views/ViewsMeter.h"

#include <stdlib.h>

#include "functions/ProgramRecords.h"
#include "link/CommunicationFailure.h"
#include "link/IConnection.h"
#include "sim/MeterModel.h"
#include "visa/Simulation.h"

namespace kvt::test {

ViewsMeter::ViewsMeter()
    : m_device(std::make_shared<RecordingDevice>(std::make_shared<sim::MeterModel>(7))) {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    visa::InstallSimulatedDevice([device = m_device] { return device; });
    link::InstallPacer(&m_pacer);
    link::SetCommunicationFailureHandler(
        [this](std::string_view, std::string_view) { ++m_failures; });
    m_open = link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR");
    m_dcv = std::make_unique<functions::CKVTFunctionDCV>(&m_panel);
    m_dcv->Init();
    m_panel.SetCurrentFunction(m_dcv.get());
    Sent();
    PausesMs();
}

ViewsMeter::~ViewsMeter() {
    m_panel.SetCurrentFunction(nullptr);
    m_dcv.reset();
    functions::g_trendViewActive = false;
    functions::g_histogramViewActive = false;
    functions::g_statisticsViewActive = false;
    link::GetConnection()->Close();
    link::SetCommunicationFailureHandler({});
    link::InstallPacer(nullptr);
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

std::vector<std::string> ViewsMeter::Sent() {
    std::vector<std::string> messages = m_device->Messages();
    m_device->ClearMessages();
    return messages;
}

std::vector<long long> ViewsMeter::PausesMs() {
    std::vector<long long> pauses;
    for (std::chrono::milliseconds pause : m_pacer.Pauses()) {
        pauses.push_back(pause.count());
    }
    m_pacer.Clear();
    return pauses;
}

}  // namespace kvt::test
