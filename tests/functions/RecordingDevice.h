#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tests/link/Timeline.h"
#include "visa/MessageDevice.h"

namespace kvt::test {

// An instrument for the in-process VISA simulation that records every
// message it receives, in order. Scripted commands get their scripted
// reply; everything else goes to the meter behind it, if there is one.
// A silent device receives but never answers.
class RecordingDevice final : public visa::MessageDevice {
public:
    explicit RecordingDevice(std::shared_ptr<visa::MessageDevice> meter = nullptr);

    // Every later receipt of exactly this command queues this reply.
    void Answer(std::string command, std::string reply);
    void SetSilent(bool silent);
    // Falls silent on receiving this command (which is not answered).
    void SilenceAt(std::string command);
    // True once the command given to SilenceAt() has arrived (unanswered).
    bool Silent() const;

    std::vector<std::string> Messages() const;
    void ClearMessages();
    // The messages in order of arrival; a test adds the pauses (replies
    // taken are not noted here).
    Timeline& Events() { return m_timeline; }

    void ReceiveMessage(std::string_view message) override;
    std::string TakeResponse() override;
    void DeviceClear() override;
    uint8_t StatusByte() override;

private:
    std::shared_ptr<visa::MessageDevice> m_meter;
    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_answers;
    std::vector<std::string> m_messages;
    std::deque<std::string> m_output;
    bool m_silent = false;
    std::string m_silenceAt;
    Timeline m_timeline;
};

}  // namespace kvt::test
