#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

#include "visa/MessageDevice.h"

namespace kvt::sim {

// The simulated bench multimeter: parses SCPI-style program messages and
// queues their responses. Thread-safe; one instance is one instrument.
class MeterModel : public visa::MessageDevice {
public:
    explicit MeterModel(uint64_t seed = 1);

    void ReceiveMessage(std::string_view message) override;
    std::string TakeResponse() override;
    void DeviceClear() override;
    uint8_t StatusByte() override;

    static constexpr const char* kIdentity = "KORVATA,KVT-1000 SIMULATED DMM,KVSIM0001,1.0";

private:
    void ExecuteLocked(std::string_view command);
    void PushErrorLocked(int code, std::string_view text);
    void ResetLocked();
    double NextReadingLocked();

    std::mutex mutex_;
    std::deque<std::string> output_;
    std::deque<std::string> errors_;
    uint64_t seed_;
    uint64_t rngState_;
};

}  // namespace kvt::sim
