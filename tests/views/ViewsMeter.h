#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "functions/CKVTFunctionDCV.h"
#include "link/Pacer.h"
#include "tests/functions/RecordingDevice.h"
#include "tests/functions/RecordingPanel.h"

namespace kvt::test {

// What the view tests talk to: the simulated meter in process behind a
// recording device, over the real connection; a recording pacer; a test
// front panel whose current function is a DC voltage function. Built in a
// test's init() and destroyed in its cleanup().
class ViewsMeter {
public:
    ViewsMeter();
    ~ViewsMeter();
    ViewsMeter(const ViewsMeter&) = delete;
    ViewsMeter& operator=(const ViewsMeter&) = delete;

    bool IsOpen() const { return m_open; }
    // Messages the meter received since the last call, in order.
    std::vector<std::string> Sent();
    // Pauses asked for since the last call, in milliseconds.
    std::vector<long long> PausesMs();
    int Failures() const { return m_failures.load(); }

    RecordingPanel& Panel() { return m_panel; }
    functions::CKVTFunctionDCV& Dcv() { return *m_dcv; }
    RecordingDevice& Device() { return *m_device; }

private:
    std::shared_ptr<RecordingDevice> m_device;
    link::RecordingPacer m_pacer;
    RecordingPanel m_panel;
    std::unique_ptr<functions::CKVTFunctionDCV> m_dcv;
    bool m_open = false;
    std::atomic<int> m_failures{0};
};

}  // namespace kvt::test
