#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/visa/SimulatedUsbBackend.h"
#include "tests/visa/SimulatedUsbtmcDevice.h"
#include "visa/MessageDevice.h"

namespace kvt::visa {

// An instrument that answers each message with the next reply it was given.
class ScriptedDevice : public MessageDevice {
public:
    void WillReply(std::string reply) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_.push_back(std::move(reply));
    }
    void ReceiveMessage(std::string_view message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.emplace_back(message);
        if (!replies_.empty()) {
            output_.push_back(std::move(replies_.front()));
            replies_.pop_front();
        }
    }
    std::string TakeResponse() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (output_.empty()) {
            return {};
        }
        std::string reply = std::move(output_.front());
        output_.pop_front();
        return reply;
    }
    void DeviceClear() override {
        std::lock_guard<std::mutex> lock(mutex_);
        output_.clear();
        ++clears_;
    }
    uint8_t StatusByte() override { return 0; }
    int Clears() {
        std::lock_guard<std::mutex> lock(mutex_);
        return clears_;
    }

private:
    std::mutex mutex_;
    std::deque<std::string> replies_, output_, received_;
    int clears_ = 0;
};

// A USBTMC interface description as enumeration would report it.
inline UsbDeviceInfo MakeUsbInfo(uint8_t bus, std::vector<uint8_t> ports, uint16_t vid,
                                 uint16_t pid, std::string serial, uint8_t interfaceNumber = 0,
                                 uint16_t maxPacket = 64) {
    UsbDeviceInfo info;
    info.bus = bus;
    info.ports = std::move(ports);
    info.vendorId = vid;
    info.productId = pid;
    info.serial = std::move(serial);
    info.interfaceNumber = interfaceNumber;
    info.interfaceProtocol = 1;
    info.bulkOutEndpoint = 0x02;
    info.bulkInEndpoint = 0x81;
    info.interruptInEndpoint = 0x83;
    info.bulkOutMaxPacket = maxPacket;
    info.bulkInMaxPacket = maxPacket;
    return info;
}

}  // namespace kvt::visa
