#include "tests/functions/RecordingDevice.h"

#include <utility>

namespace kvt::test {

RecordingDevice::RecordingDevice(std::shared_ptr<visa::MessageDevice> meter)
    : m_meter(std::move(meter)) {}

void RecordingDevice::Answer(std::string command, std::string reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[std::move(command)] = std::move(reply);
}

void RecordingDevice::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

std::vector<std::string> RecordingDevice::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

void RecordingDevice::ClearMessages() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

void RecordingDevice::SilenceAt(std::string command) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silenceAt = std::move(command);
}

bool RecordingDevice::Silent() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_silent;
}

void RecordingDevice::ReceiveMessage(std::string_view message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.emplace_back(message);
    m_timeline.Note(message);
    if (!m_silenceAt.empty() && message == m_silenceAt) {
        m_silent = true;
    }
    if (m_silent) {
        return;
    }
    auto answer = m_answers.find(message);
    if (answer != m_answers.end()) {
        m_output.push_back(answer->second);
    } else if (m_meter) {
        m_meter->ReceiveMessage(message);
    }
}

std::string RecordingDevice::TakeResponse() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_silent) {
        return {};
    }
    if (!m_output.empty()) {
        std::string response = std::move(m_output.front());
        m_output.pop_front();
        return response;
    }
    return m_meter ? m_meter->TakeResponse() : std::string();
}

void RecordingDevice::DeviceClear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_output.clear();
    if (m_meter) {
        m_meter->DeviceClear();
    }
}

uint8_t RecordingDevice::StatusByte() {
    return m_meter ? m_meter->StatusByte() : 0;
}

}  // namespace kvt::test
