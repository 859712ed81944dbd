#include "sim/ServedInstrument.h"

#include <chrono>
#include <thread>

namespace kvt::sim {

ServedInstrument::ServedInstrument(std::shared_ptr<visa::MessageDevice> model, FaultSettings faults,
                                   CommandLog* log)
    : model_(std::move(model)), faults_(faults), log_(log) {}

void ServedInstrument::Receive(std::string_view message) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++commandsReceived_;
    if (log_ != nullptr) {
        log_->Command(message);
    }
    model_->ReceiveMessage(message);
}

ServedInstrument::Output ServedInstrument::TakeResponse(const Pause& pause) {
    Output out;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string response = model_->TakeResponse();
        if (response.empty()) {
            return out;
        }
        if (faults_.silentAfter && commandsReceived_ > *faults_.silentAfter) {
            return out;  // the response is swallowed: the meter has gone quiet
        }
        ++responsesSent_;
        bool terminated = response.back() == '\n';
        if (response.size() < faults_.oversize) {
            // Blanks before the terminator keep the reply one message.
            size_t at = terminated ? response.size() - 1 : response.size();
            response.insert(at, faults_.oversize - response.size(), ' ');
        }
        if (faults_.garbageEvery != 0 && responsesSent_ % faults_.garbageEvery == 0) {
            // Same length and terminator, so the framing holds and only the
            // content is wrong; never a line feed inside, which would split
            // the reply in two for a reader that stops at line feeds.
            size_t body = terminated ? response.size() - 1 : response.size();
            for (size_t i = 0; i < body; ++i) {
                garbageState_ ^= garbageState_ << 13;
                garbageState_ ^= garbageState_ >> 7;
                garbageState_ ^= garbageState_ << 17;
                char c = static_cast<char>(garbageState_ >> 56);
                response[i] = c == '\n' ? '\x7F' : c;
            }
        }
        out.dropMidway = faults_.dropAfter && commandsReceived_ > *faults_.dropAfter;
        out.bytes = std::move(response);
    }
    if (faults_.delayMs != 0) {
        auto delay = std::chrono::milliseconds(faults_.delayMs);
        if (!pause) {
            std::this_thread::sleep_for(delay);
        } else if (!pause(delay)) {
            return {};  // the server is stopping: the reply is never sent
        }
    }
    if (log_ != nullptr) {
        log_->Reply(out.dropMidway ? std::string_view(out.bytes).substr(0, out.bytes.size() / 2)
                                   : std::string_view(out.bytes));
    }
    return out;
}

void ServedInstrument::DeviceClear() {
    model_->DeviceClear();
}

uint8_t ServedInstrument::StatusByte() {
    return model_->StatusByte();
}

}  // namespace kvt::sim
