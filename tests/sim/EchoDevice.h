#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "visa/MessageDevice.h"

namespace kvt::test {

// A message device that answers every message with the message itself,
// except "quiet", which gets no answer; remembers what it received.
class EchoDevice : public visa::MessageDevice {
public:
    void ReceiveMessage(std::string_view message) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.emplace_back(message);
        if (message != "quiet") {
            m_output.emplace_back(message);
        }
    }
    std::string TakeResponse() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_output.empty()) {
            return {};
        }
        std::string front = std::move(m_output.front());
        m_output.pop_front();
        return front;
    }
    void DeviceClear() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_output.clear();
        ++m_clears;
    }
    uint8_t StatusByte() override { return 0x10; }

    std::vector<std::string> Received() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }
    int Clears() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_clears;
    }

private:
    std::mutex m_mutex;
    std::deque<std::string> m_output;
    std::vector<std::string> m_received;
    int m_clears = 0;
};

}  // namespace kvt::test
