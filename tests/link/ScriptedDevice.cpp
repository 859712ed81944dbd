#include "tests/link/ScriptedDevice.h"

namespace kvt::test {

void ScriptedDevice::Answer(std::string command, std::string reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[std::move(command)] = std::move(reply);
}

std::vector<std::string> ScriptedDevice::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void ScriptedDevice::ClearMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
}

void ScriptedDevice::ReceiveMessage(std::string_view message) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.emplace_back(message);
    timeline_.Note(message);
    auto answer = answers_.find(message);
    if (answer != answers_.end()) {
        output_.push_back(answer->second);
    }
}

std::string ScriptedDevice::TakeResponse() {
    std::lock_guard<std::mutex> lock(mutex_);
    timeline_.Note("read");
    if (output_.empty()) {
        return {};
    }
    std::string response = std::move(output_.front());
    output_.pop_front();
    return response;
}

void ScriptedDevice::DeviceClear() {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.clear();
}

}  // namespace kvt::test
