#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "sim/CommandLog.h"
#include "sim/FaultSettings.h"
#include "visa/MessageDevice.h"

namespace kvt::sim {

// The meter as its servers (VXI-11, raw socket) see it: the model with the
// configured faults and the command log in front. One instance serves
// every connection of a korvata-sim process; thread-safe.
class ServedInstrument {
public:
    ServedInstrument(std::shared_ptr<visa::MessageDevice> model, FaultSettings faults,
                     CommandLog* log);

    // One complete message from a client (logged, counted, passed on).
    void Receive(std::string_view message);

    struct Output {
        std::string bytes;        // empty: nothing to send (no response, or silent)
        bool dropMidway = false;  // send only the first half of bytes, then close
    };
    // Waits for the given time on behalf of a server; false when the wait
    // was cut short because the server is stopping.
    using Pause = std::function<bool(std::chrono::milliseconds)>;

    // The next response with the faults applied; waits out the configured
    // delay first when there is one, through `pause` (a plain sleep when
    // none is given). Nothing is sent when the pause is cut short. Logs
    // what is sent.
    Output TakeResponse(const Pause& pause = {});

    void DeviceClear();
    uint8_t StatusByte();

private:
    std::shared_ptr<visa::MessageDevice> m_model;
    FaultSettings m_faults;
    CommandLog* m_log;
    std::mutex m_mutex;
    uint64_t m_commandsReceived = 0;
    uint64_t m_responsesSent = 0;
    uint64_t m_garbageState = 0x9E3779B97F4A7C15ULL;
};

}  // namespace kvt::sim
