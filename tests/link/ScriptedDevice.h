#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tests/link/Timeline.h"
#include "visa/MessageDevice.h"

namespace kvt::test {

// An instrument for the in-process VISA simulation that records every
// message it receives and answers the commands it was scripted with.
// Unscripted commands get no answer, so a read after them times out.
class ScriptedDevice : public visa::MessageDevice {
public:
    // Every later receipt of exactly this command queues this reply.
    void Answer(std::string command, std::string reply);

    std::vector<std::string> Messages() const;
    void ClearMessages();
    // The messages and each reply taken ("read"), in order; the fixture
    // adds the pauses.
    Timeline& Events() { return timeline_; }

    void ReceiveMessage(std::string_view message) override;
    std::string TakeResponse() override;
    void DeviceClear() override;
    uint8_t StatusByte() override { return 0; }

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string, std::less<>> answers_;
    std::vector<std::string> messages_;
    std::deque<std::string> output_;
    Timeline timeline_;
};

}  // namespace kvt::test
