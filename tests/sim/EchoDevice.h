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
        std::lock_guard<std::mutex> lock(mutex_);
        received_.emplace_back(message);
        if (message != "quiet") {
            output_.emplace_back(message);
        }
    }
    std::string TakeResponse() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (output_.empty()) {
            return {};
        }
        std::string front = std::move(output_.front());
        output_.pop_front();
        return front;
    }
    void DeviceClear() override {
        std::lock_guard<std::mutex> lock(mutex_);
        output_.clear();
        ++clears_;
    }
    uint8_t StatusByte() override { return 0x10; }

    std::vector<std::string> Received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    int Clears() {
        std::lock_guard<std::mutex> lock(mutex_);
        return clears_;
    }

private:
    std::mutex mutex_;
    std::deque<std::string> output_;
    std::vector<std::string> received_;
    int clears_ = 0;
};

}  // namespace kvt::test
