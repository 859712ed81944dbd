#include "sim/ErrorQueue.h"

namespace kvt::sim {

void ErrorQueue::Push(int code, std::string_view text) {
    // Standard event status bits by error class.
    if (code <= -100 && code > -200) {
        m_eventStatus |= 0x20;  // command error
    } else if (code <= -200 && code > -300) {
        m_eventStatus |= 0x10;  // execution error
    } else if (code <= -300 && code > -400) {
        m_eventStatus |= 0x08;  // device-dependent error
    } else if (code <= -400 && code > -500) {
        m_eventStatus |= 0x04;  // query error
    }
    if (m_entries.size() >= kCapacity) {
        m_entries.back() = "-350,\"Queue overflow\"";
        return;
    }
    m_entries.push_back(std::to_string(code) + ",\"" + std::string(text) + "\"");
}

std::string ErrorQueue::Pop() {
    if (m_entries.empty()) {
        return "+0,\"No error\"";
    }
    std::string entry = std::move(m_entries.front());
    m_entries.pop_front();
    return entry;
}

void ErrorQueue::Clear() {
    m_entries.clear();
    m_eventStatus = 0;
}

uint8_t ErrorQueue::TakeEventStatus() {
    uint8_t value = m_eventStatus;
    m_eventStatus = 0;
    return value;
}

}  // namespace kvt::sim
