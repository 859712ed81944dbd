// What korvata-sim --announce announces, and how it fares without a daemon
// (announcing to a running daemon is tested end to end, on a private
// network, by tests/pyvisa/mdns_search_test.py).
#include <gtest/gtest.h>

#include <cstdlib>

#include "sim/MdnsAnnouncer.h"
#include "sim/MeterModel.h"

namespace kvt::sim {
namespace {

TEST(MdnsAnnouncer, AnnouncesTheSocketAndVxi11WhereServed) {
    using Services = std::vector<MdnsAnnouncer::Service>;
    EXPECT_EQ(MdnsAnnouncer::ServicesOf(5025, std::nullopt), (Services{{"_scpi-raw._tcp", 5025}}));
    EXPECT_EQ(MdnsAnnouncer::ServicesOf(40000, 111),
              (Services{{"_scpi-raw._tcp", 40000}, {"_vxi-11._tcp", 111}}));
    EXPECT_EQ(MdnsAnnouncer::ServicesOf(5025, 1111),
              (Services{{"_scpi-raw._tcp", 5025}, {"_vxi-11._tcp", 1111}}));
}

TEST(MdnsAnnouncer, NamesItselfAfterTheSerialNumber) {
    EXPECT_EQ(MdnsAnnouncer::ServiceName(MeterModel::kIdentity),
              "Korvata simulated meter (KVSIM0001)");
    EXPECT_EQ(MdnsAnnouncer::ServiceName("A,B,SN42"), "Korvata simulated meter (SN42)");
    EXPECT_EQ(MdnsAnnouncer::ServiceName("A,B"), "Korvata simulated meter");
    EXPECT_EQ(MdnsAnnouncer::ServiceName("A,B,,1.0"), "Korvata simulated meter");
}

TEST(MdnsAnnouncer, WithoutADaemonSaysSoAndAnnouncesNothing) {
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kvt-no-bus", 1);
    MdnsAnnouncer announcer;
    std::string error;
    bool called = false;
    EXPECT_FALSE(announcer.Start(
        "Korvata simulated meter", {{"_scpi-raw._tcp", 5025}},
        [&](const std::string&) { called = true; }, error));
    EXPECT_NE(error.find("daemon"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    announcer.Stop();  // harmless after a failed start
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace kvt::sim
