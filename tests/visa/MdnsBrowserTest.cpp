// Avahi's client library, loaded at run time, and the browse where no
// daemon can be reached (the end-to-end search with daemons is in
// tests/pyvisa/mdns_search_test.py).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "visa/AvahiLibrary.h"
#include "visa/MdnsBrowser.h"

namespace kvt::visa {
namespace {

TEST(AvahiLibrary, LoadsTheInstalledLibraryAndNamesWhatIsMissing) {
    AvahiLibrary library{};
    std::string error;
    ASSERT_TRUE(AvahiLibrary::Load("libavahi-common.so.3", "libavahi-client.so.3", library, error))
        << error;
    EXPECT_NE(library.clientNew, nullptr);
    EXPECT_NE(library.entryGroupAddService, nullptr);
    EXPECT_NE(library.simplePollIterate, nullptr);

    EXPECT_FALSE(
        AvahiLibrary::Load("libavahi-common.so.3", "libkvt-no-such-avahi.so.3", library, error));
    EXPECT_NE(error.find("libkvt-no-such-avahi.so.3"), std::string::npos) << error;
    // A library without the client's calls: the first one missing is named.
    EXPECT_FALSE(
        AvahiLibrary::Load("libavahi-common.so.3", "libavahi-common.so.3", library, error));
    EXPECT_EQ(error, "no avahi_client_new");

    EXPECT_NE(AvahiLibrary::Get(), nullptr) << AvahiLibrary::LoadError();
    EXPECT_TRUE(MdnsBrowser::Available());
}

TEST(MdnsBrowser, WithoutADaemonFindsNothingAtOnce) {
    // A system bus where nothing listens: the client fails to connect.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kvt-no-bus", 1);
    using Clock = MdnsBrowser::Clock;
    const Clock::time_point start = Clock::now();
    std::vector<MdnsService> found = MdnsBrowser::Browse(start + std::chrono::seconds(30));
    EXPECT_TRUE(found.empty());
    // Well before the deadline: no daemon is no reason to wait.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace kvt::visa
