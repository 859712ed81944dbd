#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/CConectWithNI.h"
#include "link/Pacer.h"
#include "tests/link/ScriptedDevice.h"

namespace kvt::test {

// The real connection over the VISA layer's in-process simulation, opened
// on a scripted device; pauses are recorded instead of slept and the
// communication-failure message is recorded instead of shown.
class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static link::CConectWithNI* Connection();

    // The messages the device received since the last call, in order.
    std::vector<std::string> Sent();
    // The pauses asked for since the last call, in milliseconds.
    std::vector<long long> PausesMs();
    // Messages, replies taken ("read") and pauses ("pause 100") in one
    // order, since the last call of any of these three.
    std::vector<std::string> Timeline();
    // The failure messages raised so far: (text, title).
    std::vector<std::pair<std::string, std::string>> Failures();

    std::shared_ptr<ScriptedDevice> m_device = std::make_shared<ScriptedDevice>();
    link::RecordingPacer m_pacer;

private:
    std::mutex m_failuresMutex;
    std::vector<std::pair<std::string, std::string>> m_failures;
};

}  // namespace kvt::test
