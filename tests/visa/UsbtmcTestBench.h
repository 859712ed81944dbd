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
        std::lock_guard<std::mutex> lock(m_mutex);
        m_replies.push_back(std::move(reply));
    }
    void ReceiveMessage(std::string_view message) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.emplace_back(message);
        if (!m_replies.empty()) {
            m_output.push_back(std::move(m_replies.front()));
            m_replies.pop_front();
        }
    }
    std::string TakeResponse() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_output.empty()) {
            return {};
        }
        std::string reply = std::move(m_output.front());
        m_output.pop_front();
        return reply;
    }
    void DeviceClear() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_output.clear();
        ++m_clears;
    }
    uint8_t StatusByte() override { return 0; }
    int Clears() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_clears;
    }

private:
    std::mutex m_mutex;
    std::deque<std::string> m_replies, m_output, m_received;
    int m_clears = 0;
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
