#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace kvt::sim {

// SCPI error/event queue (SYST:ERR?) and the IEEE 488.2 standard event
// status register that the errors set. Bounded: when full, the newest
// entry becomes -350 "Queue overflow".
class ErrorQueue {
public:
    static constexpr size_t kCapacity = 20;

    void Push(int code, std::string_view text);
    // The oldest entry as "-113,\"Undefined header\"", or +0,"No error".
    std::string Pop();
    bool Empty() const { return m_entries.empty(); }
    void Clear();

    uint8_t EventStatus() const { return m_eventStatus; }
    uint8_t TakeEventStatus();
    void SetOperationComplete() { m_eventStatus |= 0x01; }

private:
    std::deque<std::string> m_entries;
    uint8_t m_eventStatus = 0;
};

}  // namespace kvt::sim
