#include "sim/ErrorQueue.h"

namespace kvt::sim {

void ErrorQueue::Push(int code, std::string_view text) {
    // Standard event status bits by error class.
    if (code <= -100 && code > -200) {
        eventStatus_ |= 0x20;  // command error
    } else if (code <= -200 && code > -300) {
        eventStatus_ |= 0x10;  // execution error
    } else if (code <= -300 && code > -400) {
        eventStatus_ |= 0x08;  // device-dependent error
    } else if (code <= -400 && code > -500) {
        eventStatus_ |= 0x04;  // query error
    }
    if (entries_.size() >= kCapacity) {
        entries_.back() = "-350,\"Queue overflow\"";
        return;
    }
    entries_.push_back(std::to_string(code) + ",\"" + std::string(text) + "\"");
}

std::string ErrorQueue::Pop() {
    if (entries_.empty()) {
        return "+0,\"No error\"";
    }
    std::string entry = std::move(entries_.front());
    entries_.pop_front();
    return entry;
}

void ErrorQueue::Clear() {
    entries_.clear();
    eventStatus_ = 0;
}

uint8_t ErrorQueue::TakeEventStatus() {
    uint8_t value = eventStatus_;
    eventStatus_ = 0;
    return value;
}

}  // namespace kvt::sim
