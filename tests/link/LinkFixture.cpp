#include "tests/link/LinkFixture.h"

#include <stdlib.h>

#include "link/CommunicationFailure.h"
#include "visa/Simulation.h"

namespace kvt::test {

void LinkFixture::SetUp() {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    visa::InstallSimulatedDevice([device = device_] { return device; });
    pacer_.SetObserver(
        [device = device_](std::chrono::milliseconds pause) { device->Events().NotePause(pause); });
    link::InstallPacer(&pacer_);
    link::SetCommunicationFailureHandler([this](std::string_view text, std::string_view title) {
        std::lock_guard<std::mutex> lock(failuresMutex_);
        failures_.emplace_back(text, title);
    });
    ASSERT_TRUE(Connection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
}

void LinkFixture::TearDown() {
    Connection()->Close();
    link::SetCommunicationFailureHandler({});
    link::InstallPacer(nullptr);
    pacer_.SetObserver({});
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

link::CConectWithNI* LinkFixture::Connection() {
    return static_cast<link::CConectWithNI*>(link::GetConnection());
}

std::vector<std::string> LinkFixture::Sent() {
    std::vector<std::string> messages = device_->Messages();
    device_->ClearMessages();
    device_->Events().Take();
    return messages;
}

std::vector<long long> LinkFixture::PausesMs() {
    std::vector<long long> pauses;
    for (std::chrono::milliseconds pause : pacer_.Pauses()) {
        pauses.push_back(pause.count());
    }
    pacer_.Clear();
    device_->Events().Take();
    return pauses;
}

std::vector<std::string> LinkFixture::Timeline() {
    device_->ClearMessages();
    pacer_.Clear();
    return device_->Events().Take();
}

std::vector<std::pair<std::string, std::string>> LinkFixture::Failures() {
    std::lock_guard<std::mutex> lock(failuresMutex_);
    return failures_;
}

}  // namespace kvt::test
