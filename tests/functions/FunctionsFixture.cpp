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
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

std::vector<std::string> FunctionsFixture::Sent() {
    std::vector<std::string> messages = device_->Messages();
    device_->ClearMessages();
    return messages;
}

std::vector<long long> FunctionsFixture::PausesMs() {
    std::vector<long long> pauses;
    for (std::chrono::milliseconds pause : pacer_.Pauses()) {
        pauses.push_back(pause.count());
    }
    pacer_.Clear();
    return pauses;
}

int FunctionsFixture::Failures() {
    std::lock_guard<std::mutex> lock(failuresMutex_);
    return failures_;
}

}  // namespace kvt::test
