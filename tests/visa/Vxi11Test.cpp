// The VISA layer's VXI-11 sessions against the simulated meter's VXI-11
// server on loopback, found through the server's built-in portmapper on an
// ephemeral port (KORVATA_VISA_PORTMAPPER_PORT).
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "sim/MeterModel.h"
#include "sim/Portmapper.h"
#include "sim/ServedInstrument.h"
#include "sim/Vxi11Server.h"
#include "tests/sim/EchoDevice.h"
#include "tests/support/VisaRead.h"
#include "visa/AbortIo.h"
#include "visa/Vxi11Session.h"
#include "visa/visa.h"
#include "visa/vxi11.h"

namespace {

using kvt::test::Read;

using Clock = std::chrono::steady_clock;
constexpr const char* kResource = "TCPIP0::127.0.0.1::inst0::INSTR";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A loopback TCP port that nothing listens on (bound, then released).
uint16_t UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof(a);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    close(fd);
    return ntohs(a.sin_port);
}

void UsePortmapper(uint16_t port) {
    setenv("KORVATA_VISA_PORTMAPPER_PORT", std::to_string(port).c_str(), 1);
}

class Vxi11Visa : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(viOpenDefaultRM(&m_rm), VI_SUCCESS); }
    void TearDown() override {
        viClose(m_rm);
        if (m_server) {
            m_server->Stop();
        }
        unsetenv("KORVATA_VISA_PORTMAPPER_PORT");
    }

    void Serve(std::shared_ptr<kvt::visa::MessageDevice> device,
               kvt::sim::FaultSettings faults = {}) {
        m_instrument = std::make_unique<kvt::sim::ServedInstrument>(device, faults, nullptr);
        m_server = std::make_unique<kvt::sim::Vxi11Server>(*m_instrument);
        std::string error;
        ASSERT_TRUE(m_server->Start(uint16_t{0}, error)) << error;
        ASSERT_NE(m_server->PortmapperPort(), 0);
        UsePortmapper(m_server->PortmapperPort());
    }

    ViSession Open() {
        ViSession vi = VI_NULL;
        EXPECT_EQ(viOpen(m_rm, kResource, VI_NO_LOCK, 0, &vi), VI_SUCCESS);
        return vi;
    }

    static ViStatus Write(ViSession vi, const std::string& text, ViUInt32* written = nullptr) {
        ViUInt32 n = 0;
        ViStatus s = viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()),
                             static_cast<ViUInt32>(text.size()), &n);
        if (written != nullptr) {
            *written = n;
        }
        return s;
    }

    ViSession m_rm = VI_NULL;
    std::unique_ptr<kvt::sim::ServedInstrument> m_instrument;
    std::unique_ptr<kvt::sim::Vxi11Server> m_server;
};

TEST_F(Vxi11Visa, QueriesTheMeterAndReportsTheLink) {
    Serve(std::make_shared<kvt::sim::MeterModel>());
    ViSession vi = Open();
    ASSERT_NE(vi, VI_NULL);
    ViUInt32 written = 0;
    ASSERT_EQ(Write(vi, "*IDN?", &written), VI_SUCCESS);
    EXPECT_EQ(written, 5u);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(vi, 256, status), std::string(kvt::sim::MeterModel::kIdentity) + "\n");
    EXPECT_EQ(status, VI_SUCCESS);

    char text[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, text), VI_SUCCESS);
    EXPECT_STREQ(text, "127.0.0.1");
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_DEVICE_NAME, text), VI_SUCCESS);
    EXPECT_STREQ(text, "inst0");
    ViUInt16 type = 0;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type), VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_TCPIP);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);

    // The link was destroyed and a new one works: clients come one after another.
    ViSession again = Open();
    ASSERT_EQ(Write(again, "*IDN?"), VI_SUCCESS);
    EXPECT_FALSE(Read(again, 256, status).empty());
    EXPECT_EQ(viClose(again), VI_SUCCESS);
}

TEST_F(Vxi11Visa, MessagesLongerThanTheLinkTakesAreChunkedWithOneEnd) {
    auto device = std::make_shared<kvt::test::EchoDevice>();
    Serve(device);
    ViSession vi = Open();
    std::string message(200 * 1000, '\0');
    for (size_t i = 0; i < message.size(); ++i) {
        message[i] = static_cast<char>('A' + i % 26);
    }
    ViUInt32 written = 0;
    ASSERT_EQ(Write(vi, message, &written), VI_SUCCESS);
    EXPECT_EQ(written, message.size());
    ASSERT_EQ(device->Received().size(), 1u);  // END on the last chunk only
    EXPECT_EQ(device->Received()[0], message);

    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(vi, 1 << 20, status), message);
    EXPECT_EQ(status, VI_SUCCESS);

    std::string mebibyte(1 << 20, 'x');
    ASSERT_EQ(Write(vi, mebibyte), VI_SUCCESS);
    EXPECT_EQ(Read(vi, (1 << 20) + 16, status), mebibyte);
    EXPECT_EQ(status, VI_SUCCESS);
    viClose(vi);
}

TEST_F(Vxi11Visa, WritesWithoutEndAreJoinedIntoOneMessage) {
    auto device = std::make_shared<kvt::test::EchoDevice>();
    Serve(device);
    ViSession vi = Open();
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_FALSE), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "FUNC "), VI_SUCCESS);
    EXPECT_TRUE(device->Received().empty());
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "VOLT"), VI_SUCCESS);
    ASSERT_EQ(device->Received().size(), 1u);
    EXPECT_EQ(device->Received()[0], "FUNC VOLT");
    viClose(vi);
}

TEST_F(Vxi11Visa, SmallBuffersAndTheTerminationCharacterSplitAResponse) {
    auto device = std::make_shared<kvt::test::EchoDevice>();
    Serve(device);
    ViSession vi = Open();
    ASSERT_EQ(Write(vi, "0123456789"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(vi, 4, status), "0123");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(vi, 4, status), "4567");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(vi, 100, status), "89");
    EXPECT_EQ(status, VI_SUCCESS);

    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ';'), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "+1.0;+2.0;+3"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 100, status), "+1.0;");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(Read(vi, 3, status), "+2.");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(vi, 100, status), "0;");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(Read(vi, 100, status), "+3");
    EXPECT_EQ(status, VI_SUCCESS);
    viClose(vi);
}

TEST_F(Vxi11Visa, ANewCommandNeverGetsTheUnreadRestOfAnEarlierReply) {
    auto device = std::make_shared<kvt::test::EchoDevice>();
    Serve(device);
    ViSession vi = Open();
    ASSERT_EQ(Write(vi, "+1.234567E+00 VDC"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(vi, 6, status), "+1.234");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    // The rest was fetched ahead and left unread; the next reply is whole.
    ASSERT_EQ(Write(vi, "-9.876543E-01 VDC"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 100, status), "-9.876543E-01 VDC");
    EXPECT_EQ(status, VI_SUCCESS);
    viClose(vi);
}

TEST_F(Vxi11Visa, LargeAndSmallBuffersTakeALongReplyInOrder) {
    auto device = std::make_shared<kvt::test::EchoDevice>();
    Serve(device);
    ViSession vi = Open();
    std::string message;
    for (int i = 0; message.size() < 1536 * 1024; ++i) {
        message += std::to_string(i) + ',';
    }
    ASSERT_EQ(Write(vi, message), VI_SUCCESS);
    const ViUInt32 large = kvt::visa::Vxi11Session::kReadAhead;
    ViStatus status = VI_ERROR_IO;
    // A small read first fetches ahead; a large one then takes the rest
    // of what was fetched before asking the device again; a last large
    // one reads straight into its buffer.
    std::string got = Read(vi, 100, status);
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    got += Read(vi, large, status);
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    got += Read(vi, large, status);
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_EQ(got, message);

    // With nothing kept, a large buffer is filled straight from the device.
    ASSERT_EQ(Write(vi, message), VI_SUCCESS);
    got = Read(vi, large, status);
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    got += Read(vi, 100, status);
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    got += Read(vi, large, status);
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_EQ(got, message);
    viClose(vi);
}

TEST_F(Vxi11Visa, ASilentDeviceTimesOutWithinTheSessionTimeout) {
    Serve(std::make_shared<kvt::test::EchoDevice>());
    ViSession vi = Open();
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 500), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "quiet"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    auto start = Clock::now();
    EXPECT_EQ(Read(vi, 64, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.45);
    EXPECT_LT(elapsed, 1.0);

    // The link survives a timeout.
    ASSERT_EQ(Write(vi, "after"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 64, status), "after");
    EXPECT_EQ(status, VI_SUCCESS);
    viClose(vi);
}

TEST_F(Vxi11Visa, AbortReleasesAReadThatWaitsForASilentDevice) {
    // A program that ends while its worker waits for an instrument that
    // has stopped answering releases that read instead of waiting for its
    // timeout; later calls on the session fail too.
    Serve(std::make_shared<kvt::test::EchoDevice>());
    ViSession vi = Open();
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 60000), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    std::thread reader([&] { Read(vi, 64, status); });
    EXPECT_EQ(kvt::visa::AbortSessionIo(vi), VI_SUCCESS);
    reader.join();
    EXPECT_NE(status, VI_SUCCESS);
    EXPECT_NE(status, VI_ERROR_TMO);
    EXPECT_LT(Write(vi, "after"), VI_SUCCESS);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(kvt::visa::AbortSessionIo(vi), VI_ERROR_INV_OBJECT);
}

TEST_F(Vxi11Visa, NoListenerAndNoServerFailAtOnce) {
    UsePortmapper(UnusedPort());
    ViSession vi = 123;
    auto start = Clock::now();
    EXPECT_EQ(viOpen(m_rm, kResource, VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(vi, VI_NULL);
    EXPECT_LT(SecondsSince(start), 0.5);

    // A portmapper that knows no VXI-11 server.
    kvt::sim::Portmapper portmapper;
    std::string error;
    ASSERT_TRUE(portmapper.Start(uint16_t{0}, error)) << error;
    UsePortmapper(portmapper.Port());
    start = Clock::now();
    EXPECT_EQ(viOpen(m_rm, kResource, VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
    EXPECT_LT(SecondsSince(start), 0.5);

    // A host name that does not resolve.
    EXPECT_EQ(viOpen(m_rm, "TCPIP0::no-such-host.invalid::inst0::INSTR", VI_NO_LOCK, 0, &vi),
              VI_ERROR_RSRC_NFOUND);
}

TEST_F(Vxi11Visa, APortmapperOrCoreChannelThatNeverAnswersEndsInATimeout) {
    // Connections are accepted by the kernel into the backlog, then nothing.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof(a);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    UsePortmapper(ntohs(a.sin_port));
    ViSession vi = VI_NULL;
    auto start = Clock::now();
    EXPECT_EQ(viOpen(m_rm, kResource, VI_NO_LOCK, 0, &vi), VI_ERROR_TMO);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 1.9);  // the default 2000 ms
    EXPECT_LT(elapsed, 2.5);

    // A portmapper that answers, naming a core channel that never does:
    // create_link is bounded by the same open timeout.
    kvt::sim::Portmapper portmapper;
    std::string error;
    ASSERT_TRUE(portmapper.Start(uint16_t{0}, error)) << error;
    ASSERT_TRUE(portmapper.Register(DEVICE_CORE, DEVICE_CORE_VERSION, ntohs(a.sin_port), error))
        << error;
    UsePortmapper(portmapper.Port());
    start = Clock::now();
    EXPECT_EQ(viOpen(m_rm, kResource, VI_NO_LOCK, 0, &vi), VI_ERROR_TMO);
    elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 1.9);
    EXPECT_LT(elapsed, 2.5);
    EXPECT_EQ(vi, VI_NULL);
    close(fd);
}

TEST_F(Vxi11Visa, AConnectionCutMidReplyIsReportedAsLost) {
    kvt::sim::FaultSettings faults;
    faults.dropAfter = 1;  // the reply to the second command is cut
    auto device = std::make_shared<kvt::test::EchoDevice>();
    Serve(device, faults);
    ViSession vi = Open();
    ViStatus status = VI_ERROR_IO;
    ASSERT_EQ(Write(vi, "first"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 64, status), "first");
    ASSERT_EQ(Write(vi, "0123456789"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 64, status), "01234");  // the half that was sent
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    EXPECT_EQ(Write(vi, "again"), VI_ERROR_CONN_LOST);
    EXPECT_EQ(Read(vi, 64, status), "");
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    auto start = Clock::now();
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_LT(SecondsSince(start), 0.5);
}

TEST_F(Vxi11Visa, ASessionOutlivesItsServer) {
    Serve(std::make_shared<kvt::test::EchoDevice>());
    ViSession vi = Open();
    ASSERT_EQ(Write(vi, "hello"), VI_SUCCESS);
    m_server->Stop();
    // Writing to the closed connection must neither kill the process
    // (SIGPIPE) nor hang.
    auto start = Clock::now();
    EXPECT_EQ(Write(vi, "after the server"), VI_ERROR_CONN_LOST);
    ViStatus status = VI_SUCCESS;
    Read(vi, 64, status);
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_LT(SecondsSince(start), 0.5);
}

TEST_F(Vxi11Visa, ASessionOutlivesItsServerInAProcessThatIgnoresSigpipe) {
    // The programs ignore SIGPIPE, so the session does not hold it off
    // around each call; a closed connection still fails cleanly.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGPIPE, &ignore, &previous), 0);
    Serve(std::make_shared<kvt::test::EchoDevice>());
    ViSession vi = Open();
    ASSERT_EQ(Write(vi, "hello"), VI_SUCCESS);
    m_server->Stop();
    EXPECT_EQ(Write(vi, "after the server"), VI_ERROR_CONN_LOST);
    ViStatus status = VI_SUCCESS;
    Read(vi, 64, status);
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    sigaction(SIGPIPE, &previous, nullptr);
}

TEST_F(Vxi11Visa, TwoSessionsAtOnceShareTheDevice) {
    Serve(std::make_shared<kvt::sim::MeterModel>());
    ViSession a = Open();
    ViSession b = Open();
    ViStatus status = VI_ERROR_IO;
    ASSERT_EQ(Write(a, "*IDN?"), VI_SUCCESS);
    EXPECT_EQ(Read(a, 256, status), std::string(kvt::sim::MeterModel::kIdentity) + "\n");
    ASSERT_EQ(Write(b, "*IDN?"), VI_SUCCESS);
    EXPECT_EQ(Read(b, 256, status), std::string(kvt::sim::MeterModel::kIdentity) + "\n");
    EXPECT_EQ(viClose(a), VI_SUCCESS);
    EXPECT_EQ(viClose(b), VI_SUCCESS);
}

}  // namespace
