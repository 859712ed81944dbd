#include "tests/functions/FunctionsFixture.h"

#include <stdlib.h>

#include "functions/ProgramRecords.h"
#include "link/CommunicationFailure.h"
#include "link/IConnection.h"
#include "sim/MeterModel.h"
#include "visa/Simulation.h"

namespace kvt::test {

FunctionsFixture::FunctionsFixture(bool withMeter)
    : m_device(std::make_shared<RecordingDevice>(withMeter ? std::make_shared<sim::MeterModel>(7)
                                                           : nullptr)) {}

void FunctionsFixture::SetUp() {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    visa::InstallSimulatedDevice([device = m_device] { return device; });
    m_pacer.SetObserver([device = m_device](std::chrono::milliseconds pause) {
        device->Events().NotePause(pause);
    });
    link::InstallPacer(&m_pacer);
    link::SetCommunicationFailureHandler([this](std::string_view, std::string_view) {
        std::lock_guard<std::mutex> lock(m_failuresMutex);
        ++m_failures;
    });
    ASSERT_TRUE(link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
    m_dcv = std::make_unique<functions::CKVTFunctionDCV>(&m_panel);
    m_dcv->Init();
    Sent();
    PausesMs();
}

void FunctionsFixture::TearDown() {
    m_dcv.reset();
    functions::g_trendViewActive = false;
    functions::g_histogramViewActive = false;
    functions::g_statisticsViewActive = false;
    link::GetConnection()->Close();
    link::SetCommunicationFailureHandler({});
    link::InstallPacer(nullptr);
    m_pacer.SetObserver({});
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

std::vector<std::string> FunctionsFixture::Sent() {
    std::vector<std::string> messages = m_device->Messages();
    m_device->ClearMessages();
    m_device->Events().Take();
    return messages;
}

std::vector<long long> FunctionsFixture::PausesMs() {
    std::vector<long long> pauses;
    for (std::chrono::milliseconds pause : m_pacer.Pauses()) {
        pauses.push_back(pause.count());
    }
    m_pacer.Clear();
    m_device->Events().Take();
    return pauses;
}

std::vector<std::string> FunctionsFixture::EachFollowedBy(const std::vector<std::string>& messages,
                                                          long long ms) {
    std::vector<std::string> timeline;
    for (const std::string& message : messages) {
        timeline.push_back(message);
        timeline.push_back("pause " + std::to_string(ms));
    }
    return timeline;
}

std::vector<std::string> FunctionsFixture::Timeline() {
    m_device->ClearMessages();
    m_pacer.Clear();
    return m_device->Events().Take();
}

int FunctionsFixture::Failures() {
    std::lock_guard<std::mutex> lock(m_failuresMutex);
    return m_failures;
}

}  // namespace kvt::test
