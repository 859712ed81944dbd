#include "tests/link/ScriptedDevice.h"

namespace kvt::test {

void ScriptedDevice::Answer(std::string command, std::string reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[std::move(command)] = std::move(reply);
}

std::vector<std::string> ScriptedDevice::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

void ScriptedDevice::ClearMessages() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

void ScriptedDevice::ReceiveMessage(std::string_view message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.emplace_back(message);
    m_timeline.Note(message);
    auto answer = m_answers.find(message);
    if (answer != m_answers.end()) {
        m_output.push_back(answer->second);
    }
}

std::string ScriptedDevice::TakeResponse() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timeline.Note("read");
    if (m_output.empty()) {
        return {};
    }
    std::string response = std::move(m_output.front());
    m_output.pop_front();
    return response;
}

void ScriptedDevice::DeviceClear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_output.clear();
}

}  // namespace kvt::test
