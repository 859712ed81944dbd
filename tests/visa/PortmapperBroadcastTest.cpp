// The network search's lookup over UDP, against portmappers on loopback
// (each one a target of its own; nothing is sent beyond this host).
#include "visa/PortmapperBroadcast.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "sim/Portmapper.h"
#include "visa/vxi11.h"

namespace kvt::visa {
namespace {

constexpr std::chrono::milliseconds kShortWindow{200};

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return target;
}

std::vector<std::string> Text(const std::vector<in_addr>& addresses) {
    std::vector<std::string> text;
    for (in_addr a : addresses) {
        char buffer[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &a, buffer, sizeof(buffer));
        text.emplace_back(buffer);
    }
    return text;
}

class PortmapperBroadcastTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_withCore.Start(uint16_t{0}, error)) << error;
        ASSERT_TRUE(m_withCore.Register(DEVICE_CORE, DEVICE_CORE_VERSION, 4242, error)) << error;
        ASSERT_TRUE(m_withoutCore.Start(uint16_t{0}, error)) << error;
        // A port nobody listens on: the built-in portmapper's, once ended.
        sim::Portmapper gone;
        ASSERT_TRUE(gone.Start(uint16_t{0}, error)) << error;
        m_silentPort = gone.Port();
    }

    sim::Portmapper m_withCore;
    sim::Portmapper m_withoutCore;
    uint16_t m_silentPort = 0;
};

TEST_F(PortmapperBroadcastTest, ListsOnlyPortmappersThatKnowTheCoreChannel) {
    EXPECT_EQ(Text(PortmapperBroadcast::Search({Loopback(m_withCore.Port())}, kShortWindow)),
              std::vector<std::string>{"127.0.0.1"});
    // Answering 0 (no VXI-11 server there) and not answering are both "none".
    EXPECT_TRUE(PortmapperBroadcast::Search(
                    {Loopback(m_withoutCore.Port()), Loopback(m_silentPort)}, kShortWindow)
                    .empty());
    EXPECT_TRUE(PortmapperBroadcast::Search({}, kShortWindow).empty());
}

TEST_F(PortmapperBroadcastTest, AHostAnsweringSeveralTimesIsListedOnce) {
    // Asked twice per target and over two targets: four answers, one host.
    sim::Portmapper second;
    std::string error;
    ASSERT_TRUE(second.Start(uint16_t{0}, error)) << error;
    ASSERT_TRUE(second.Register(DEVICE_CORE, DEVICE_CORE_VERSION, 4243, error)) << error;
    EXPECT_EQ(Text(PortmapperBroadcast::Search(
                  {Loopback(m_withCore.Port()), Loopback(second.Port()), Loopback(m_silentPort)},
                  kShortWindow)),
              std::vector<std::string>{"127.0.0.1"});
}

}  // namespace
}  // namespace kvt::visa
