#include "tests/link/LinkFixture.h"

#include <stdlib.h>

#include "link/CommunicationFailure.h"
#include "visa/Simulation.h"

namespace kvt::test {

void LinkFixture::SetUp() {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    visa::InstallSimulatedDevice([device = m_device] { return device; });
    m_pacer.SetObserver([device = m_device](std::chrono::milliseconds pause) {
        device->Events().NotePause(pause);
    });
    link::InstallPacer(&m_pacer);
    link::SetCommunicationFailureHandler([this](std::string_view text, std::string_view title) {
        std::lock_guard<std::mutex> lock(m_failuresMutex);
        m_failures.emplace_back(text, title);
    });
    ASSERT_TRUE(Connection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
}

void LinkFixture::TearDown() {
    Connection()->Close();
    link::SetCommunicationFailureHandler({});
    link::InstallPacer(nullptr);
    m_pacer.SetObserver({});
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

link::CConectWithNI* LinkFixture::Connection() {
    return static_cast<link::CConectWithNI*>(link::GetConnection());
}

std::vector<std::string> LinkFixture::Sent() {
    std::vector<std::string> messages = m_device->Messages();
    m_device->ClearMessages();
    m_device->Events().Take();
    return messages;
}

std::vector<long long> LinkFixture::PausesMs() {
    std::vector<long long> pauses;
    for (std::chrono::milliseconds pause : m_pacer.Pauses()) {
        pauses.push_back(pause.count());
    }
    m_pacer.Clear();
    m_device->Events().Take();
    return pauses;
}

std::vector<std::string> LinkFixture::Timeline() {
    m_device->ClearMessages();
    m_pacer.Clear();
    return m_device->Events().Take();
}

std::vector<std::pair<std::string, std::string>> LinkFixture::Failures() {
    std::lock_guard<std::mutex> lock(m_failuresMutex);
    return m_failures;
}

}  // namespace kvt::test
