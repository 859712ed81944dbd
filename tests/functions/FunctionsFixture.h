#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "functions/CKVTFunctionDCV.h"
#include "link/Pacer.h"
#include "tests/functions/RecordingDevice.h"
#include "tests/functions/RecordingPanel.h"

namespace kvt::test {

// A DC voltage function over the real connection and the VISA layer's
// in-process simulation. The device records every message; pauses are
// recorded instead of slept; communication failures are counted instead
// of shown. With a meter, unscripted commands reach the simulated meter.
class FunctionsFixture : public ::testing::Test {
protected:
    explicit FunctionsFixture(bool withMeter = false);

    void SetUp() override;
    void TearDown() override;

    // Messages the device received since the last call, in order.
    std::vector<std::string> Sent();
    // Pauses asked for since the last call, in milliseconds.
    std::vector<long long> PausesMs();
    // Messages and pauses ("pause 100") in one order, since the last call
    // of any of these three.
    std::vector<std::string> Timeline();
    // The timeline of these messages each followed by a pause of ms.
    static std::vector<std::string> EachFollowedBy(const std::vector<std::string>& messages,
                                                   long long ms);
    int Failures();

    std::shared_ptr<RecordingDevice> m_device;
    link::RecordingPacer m_pacer;
    RecordingPanel m_panel;
    std::unique_ptr<functions::CKVTFunctionDCV> m_dcv;

private:
    std::mutex m_failuresMutex;
    int m_failures = 0;
};

// The same with the simulated meter behind the device.
class MeterFixture : public FunctionsFixture {
protected:
    MeterFixture() : FunctionsFixture(true) {}
};

}  // namespace kvt::test
