// What the network search lists: resolved services turned into resource
// names, and the names of both sources merged.
#include <gtest/gtest.h>

#include "visa/NetworkResourceNames.h"
#include "visa/SearchExpression.h"

namespace kvt::visa {
namespace {

TEST(NetworkResourceNames, ServicesBecomeTheNamesTheyAreOpenedBy) {
    EXPECT_EQ(NetworkResourceNames::Of({"_vxi-11._tcp", "10.0.0.5", 111}),
              "TCPIP0::10.0.0.5::inst0::INSTR");
    EXPECT_EQ(NetworkResourceNames::Of({"_lxi._tcp", "10.0.0.6", 80}),
              "TCPIP0::10.0.0.6::inst0::INSTR");
    EXPECT_EQ(NetworkResourceNames::Of({"_scpi-raw._tcp", "10.0.0.7", 5025}),
              "TCPIP0::10.0.0.7::5025::SOCKET");
    EXPECT_EQ(NetworkResourceNames::Of({"_scpi-raw._tcp", "10.0.0.7", 0}), std::nullopt);
    // HiSLIP is not spoken here; other types are no instruments.
    EXPECT_EQ(NetworkResourceNames::Of({"_hislip._tcp", "10.0.0.8", 4880}), std::nullopt);
    EXPECT_EQ(NetworkResourceNames::Of({"_http._tcp", "10.0.0.9", 80}), std::nullopt);
    EXPECT_EQ(NetworkResourceNames::Of({"_vxi-11._tcp", "", 111}), std::nullopt);
}

TEST(NetworkResourceNames, MergedNamesComeOnceInAddressOrder) {
    std::vector<std::string> names = {
        "TCPIP0::10.0.0.10::inst0::INSTR",  // from the broadcast
        "TCPIP0::10.0.0.9::inst0::INSTR",
        "TCPIP0::10.0.0.10::5025::SOCKET",  // from multicast DNS
        "TCPIP0::10.0.0.10::inst0::INSTR",   "TCPIP0::10.0.0.9::inst0::INSTR",
        "TCPIP0::10.0.0.10::10001::SOCKET",  "TCPIP0::10.0.0.10::999::SOCKET",
        "TCPIP0::192.168.1.2::inst0::INSTR", "TCPIP0::meter.local::inst0::INSTR",
    };
    EXPECT_EQ(NetworkResourceNames::Merge(names), (std::vector<std::string>{
                                                      "TCPIP0::10.0.0.9::inst0::INSTR",
                                                      "TCPIP0::10.0.0.10::inst0::INSTR",
                                                      "TCPIP0::10.0.0.10::999::SOCKET",
                                                      "TCPIP0::10.0.0.10::5025::SOCKET",
                                                      "TCPIP0::10.0.0.10::10001::SOCKET",
                                                      "TCPIP0::192.168.1.2::inst0::INSTR",
                                                      "TCPIP0::meter.local::inst0::INSTR",
                                                  }));
    EXPECT_TRUE(NetworkResourceNames::Merge({}).empty());
}

TEST(NetworkResourceNames, SocketExpressionsMatchTheSocketsFoundAndNothingElse) {
    auto sockets = SearchExpression::Compile("TCPIP?*SOCKET");
    ASSERT_TRUE(sockets.has_value());
    auto socket = NetworkResourceNames::Of({"_scpi-raw._tcp", "10.0.0.7", 5025});
    auto instrument = NetworkResourceNames::Of({"_vxi-11._tcp", "10.0.0.7", 111});
    ASSERT_TRUE(socket && instrument);
    EXPECT_TRUE(sockets->Matches(*socket));
    EXPECT_FALSE(sockets->Matches(*instrument));
    EXPECT_TRUE(sockets->MayMatch("TCPIP0::", "::SOCKET"));
    EXPECT_FALSE(sockets->MayMatch("TCPIP0::", "::inst0::INSTR"));
    auto instruments = SearchExpression::Compile("TCPIP?*INSTR");
    ASSERT_TRUE(instruments.has_value());
    EXPECT_FALSE(instruments->Matches(*socket));
    EXPECT_FALSE(instruments->MayMatch("TCPIP0::", "::SOCKET"));
}

}  // namespace
}  // namespace kvt::visa
