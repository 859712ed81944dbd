#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvt::visa {

// A message-based instrument reached without a bus: what the in-process
// simulation talks to, and what the simulated meter's servers put on the
// wire. Implementations are thread-safe.
class MessageDevice {
public:
    virtual ~MessageDevice() = default;

    // One complete program message, as ended by END on the bus.
    virtual void ReceiveMessage(std::string_view message) = 0;

    // The response the device has ready (terminator included) and removes
    // it from the output queue; empty when there is none.
    virtual std::string TakeResponse() = 0;

    // Device clear: drop pending input and output.
    virtual void DeviceClear() = 0;

    // IEEE 488.2 status byte.
    virtual uint8_t StatusByte() = 0;
};

}  // namespace kvt::visa
