#include "tests/panel/ExchangeDevice.h"

#include <utility>

namespace kvt::test {

ExchangeDevice::ExchangeDevice(std::shared_ptr<visa::MessageDevice> inner)
    : m_inner(std::move(inner)) {}

std::vector<std::string> ExchangeDevice::Log() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

std::string ExchangeDevice::FirstInterleaving() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i + 1 < m_log.size(); ++i) {
        const std::string& entry = m_log[i];
        if (entry.size() > 2 && entry.back() == '?' && m_log[i + 1] != "R") {
            return std::to_string(i) + ": " + entry + " then " + m_log[i + 1];
        }
    }
    return {};
}

void ExchangeDevice::ReceiveMessage(std::string_view message) {
    // Logged and passed on under one lock, so the log has the device's order.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.push_back("W " + std::string(message));
    m_inner->ReceiveMessage(message);
}

std::string ExchangeDevice::TakeResponse() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.emplace_back("R");
    return m_inner->TakeResponse();
}

void ExchangeDevice::DeviceClear() {
    m_inner->DeviceClear();
}

uint8_t ExchangeDevice::StatusByte() {
    return m_inner->StatusByte();
}

}  // namespace kvt::test
