#include "tests/functions/FunctionsFixture.h"

#include <stdlib.h>

#include "functions/ProgramRecords.h"
#include "link/CommunicationFailure.h"
#include "link/IConnection.h"
#include "sim/MeterModel.h"
#include "visa/Simulation.h"

namespace kvt::test {

FunctionsFixture::FunctionsFixture(bool withMeter)
    : device_(std::make_shared<RecordingDevice>(withMeter ? std::make_shared<sim::MeterModel>(7)
                                                          : nullptr)) {}

void FunctionsFixture::SetUp() {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    visa::InstallSimulatedDevice([device = device_] { return device; });
    pacer_.SetObserver(
        [device = device_](std::chrono::milliseconds pause) { device->Events().NotePause(pause); });
    link::InstallPacer(&pacer_);
    link::SetCommunicationFailureHandler([this](std::string_view, std::string_view) {
        std::lock_guard<std::mutex> lock(failuresMutex_);
        ++failures_;
    });
    ASSERT_TRUE(link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
    dcv_ = std::make_unique<functions::CKVTFunctionDCV>(&panel_);
    dcv_->Init();
    Sent();
    PausesMs();
}

void FunctionsFixture::TearDown() {
    dcv_.reset();
    functions::g_trendViewActive = false;
    functions::g_histogramViewActive = false;
    functions::g_statisticsViewActive = false;
    link::GetConnection()->Close();
    link::SetCommunicationFailureHandler({});
    link::InstallPacer(nullptr);
    pacer_.SetObserver({});
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

std::vector<std::string> FunctionsFixture::Sent() {
    std::vector<std::string> messages = device_->Messages();
    device_->ClearMessages();
    device_->Events().Take();
    return messages;
}

std::vector<long long> FunctionsFixture::PausesMs() {
    std::vector<long long> pauses;
    for (std::chrono::milliseconds pause : pacer_.Pauses()) {
        pauses.push_back(pause.count());
    }
    pacer_.Clear();
    device_->Events().Take();
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
    device_->ClearMessages();
    pacer_.Clear();
    return device_->Events().Take();
}

int FunctionsFixture::Failures() {
    std::lock_guard<std::mutex> lock(failuresMutex_);
    return failures_;
}

}  // namespace kvt::test
