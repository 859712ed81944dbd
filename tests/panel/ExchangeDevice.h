#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "visa/MessageDevice.h"

namespace kvt::test {

// Sits in front of another device and logs, in one sequence, every
// message written to it ("W <message>") and every response taken from it
// ("R"), so that a test can check that no command fell between a query
// and its reply.
class ExchangeDevice final : public visa::MessageDevice {
public:
    explicit ExchangeDevice(std::shared_ptr<visa::MessageDevice> inner);

    std::vector<std::string> Log() const;
    // The first query in the log that is not read back before the next
    // write, as "<position>: <query> then <next entry>"; empty if none.
    std::string FirstInterleaving() const;

    void ReceiveMessage(std::string_view message) override;
    std::string TakeResponse() override;
    void DeviceClear() override;
    uint8_t StatusByte() override;

private:
    std::shared_ptr<visa::MessageDevice> m_inner;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_log;
};

}  // namespace kvt::test
