#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "sim/Clock.h"
#include "sim/ErrorQueue.h"
#include "sim/Instrument.h"
#include "visa/MessageDevice.h"

namespace kvt::sim {

// The simulated bench multimeter: parses SCPI-style program messages,
// measures on its clock and queues the responses. Thread-safe; one instance
// is one instrument. The responses to the queries of one program message
// form one response message, joined by ';'.
class MeterModel : public visa::MessageDevice {
public:
    // Without a clock the meter runs on std::chrono::steady_clock.
    explicit MeterModel(uint64_t seed = 1, std::shared_ptr<const Clock> clock = nullptr);

    void ReceiveMessage(std::string_view message) override;
    std::string TakeResponse() override;
    void DeviceClear() override;
    uint8_t StatusByte() override;

    static constexpr const char* kIdentity = "KORVATA,KVT-1000 SIMULATED DMM,KVSIM0001,1.0";
    // Unread responses kept; beyond these the oldest is dropped (-410).
    static constexpr size_t kMaxPendingResponses = 64;
    static constexpr size_t kMaxPendingBytes = 8 * 1024 * 1024;

private:
    void ExecuteLocked(std::string_view unit, std::string& reply);
    void QueueLocked(std::string response);

    std::mutex m_mutex;
    std::shared_ptr<const Clock> m_clock;
    Instrument m_meter;
    ErrorQueue m_errors;
    std::deque<std::string> m_output;
    size_t m_outputBytes = 0;
};

}  // namespace kvt::sim
