#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/Pacer.h"
#include "tests/functions/RecordingDevice.h"

namespace kvt::test {

// The simulated meter in process for one test: every TCPIP resource and
// "USB?*INSTR" open it, every message it receives is recorded, and every
// pause of the program returns at once (recorded). Nothing is opened
// here; the test or the program under test connects.
class MeterSession {
public:
    MeterSession();
    ~MeterSession();
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    // The messages received since the last call, in order.
    std::vector<std::string> Sent();
    // The messages received so far, without clearing them.
    std::vector<std::string> Peek() const { return m_device->Messages(); }
    RecordingDevice& Device() { return *m_device; }
    link::RecordingPacer& Pacer() { return m_pacer; }

private:
    std::shared_ptr<RecordingDevice> m_device;
    link::RecordingPacer m_pacer;
};

// Turns the in-process simulation off for as long as it lives, so that
// opens reach the real VISA layer (and fail without an instrument).
class NoSimulation {
public:
    NoSimulation();
    ~NoSimulation();
    NoSimulation(const NoSimulation&) = delete;
    NoSimulation& operator=(const NoSimulation&) = delete;
};

}  // namespace kvt::test
