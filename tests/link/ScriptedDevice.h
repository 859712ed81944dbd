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
    Timeline& Events() { return m_timeline; }

    void ReceiveMessage(std::string_view message) override;
    std::string TakeResponse() override;
    void DeviceClear() override;
    uint8_t StatusByte() override { return 0; }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_answers;
    std::vector<std::string> m_messages;
    std::deque<std::string> m_output;
    Timeline m_timeline;
};

}  // namespace kvt::test
