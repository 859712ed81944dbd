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

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/CommandLog.h"
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

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
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
               kvt::sim::FaultSettings faults = {}, kvt::sim::QuirkSettings quirks = {},
               kvt::sim::CommandLog* log = nullptr) {
        if (m_server) {
            m_server->Stop();
        }
        m_server.reset();
        m_instrument = std::make_unique<kvt::sim::ServedInstrument>(device, faults, log);
        m_server = std::make_unique<kvt::sim::Vxi11Server>(*m_instrument, quirks);
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

// Reads as pyvisa does: `size` bytes at a time while the buffer fills up.
// Every piece's status is checked; the last must be VI_SUCCESS (END) or,
// with the termination character on, VI_SUCCESS_TERM_CHAR.
std::string ReadWhole(ViSession vi, ViUInt32 size, ViStatus& status) {
    std::string whole;
    do {
        whole += Read(vi, size, status);
    } while (status == VI_SUCCESS_MAX_CNT);
    return whole;
}

// Equal strings; otherwise their lengths and where they first differ
// (long replies are not printed whole).
::testing::AssertionResult Same(const std::string& got, const std::string& expected) {
    if (got == expected) {
        return ::testing::AssertionSuccess();
    }
    size_t at =
        std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin();
    return ::testing::AssertionFailure()
           << got.size() << " bytes where " << expected.size()
           << " were expected, differing from byte " << at << ": \"" << got.substr(at, 40) << "\"";
}

// The commands the log shows as received ("> " lines), in order.
std::vector<std::string> LoggedCommands(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> commands;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("> ", 0) == 0) {
            commands.push_back(line.substr(2));
        }
    }
    return commands;
}

// "abc...", `length` bytes long, no byte a termination character.
std::string Letters(size_t length) {
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

// The server with one quirk, or all: what a read or write hands over must
// arrive whole and once, whatever the pieces, reasons and fragments.
class Vxi11Quirks : public Vxi11Visa, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        Vxi11Visa::SetUp();
        std::string error;
        ASSERT_TRUE(m_quirks.Apply(GetParam(), error)) << error;
        m_logPath = ::testing::TempDir() + "vxi11-quirks-" + std::to_string(::getpid()) + ".log";
        ASSERT_TRUE(m_log.Open(m_logPath, error)) << error;
    }
    void TearDown() override {
        Vxi11Visa::TearDown();
        std::filesystem::remove(m_logPath);
    }

    // The meter served with the quirk, every command and reply logged.
    void ServeMeter(kvt::sim::FaultSettings faults = {}) {
        Serve(std::make_shared<kvt::sim::MeterModel>(), faults, m_quirks, &m_log);
    }

    kvt::sim::QuirkSettings m_quirks;
    kvt::sim::CommandLog m_log;
    std::string m_logPath;
};

TEST_P(Vxi11Quirks, QueriesAndLongMessagesArriveWholeAndOnce) {
    ServeMeter();
    ViSession vi = Open();
    ASSERT_NE(vi, VI_NULL);
    std::vector<std::string> sent;
    auto send = [&](const std::string& command) {
        sent.push_back(command);
        return Write(vi, command);
    };
    const std::string identity = std::string(kvt::sim::MeterModel::kIdentity) + "\n";
    ViStatus status = VI_ERROR_IO;
    for (ViBoolean termChar : {ViBoolean{VI_FALSE}, ViBoolean{VI_TRUE}}) {
        ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, termChar), VI_SUCCESS);
        for (ViUInt32 buffer : {ViUInt32{256}, kvt::visa::Vxi11Session::kReadAhead}) {
            ASSERT_EQ(send("*IDN?"), VI_SUCCESS);
            EXPECT_EQ(Read(vi, buffer, status), identity) << int{termChar} << " " << buffer;
            // The line feed ends the read before the device's late END.
            EXPECT_EQ(status, termChar && m_quirks.lateEnd ? VI_SUCCESS_TERM_CHAR : VI_SUCCESS)
                << int{termChar} << " " << buffer;
        }
    }
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);

    // A command many times the receive size, its echo read in three ways.
    const std::string text = Letters(20000);
    for (ViUInt32 buffer :
         {ViUInt32{20 * 1024}, ViUInt32{1000}, kvt::visa::Vxi11Session::kReadAhead}) {
        ASSERT_EQ(send("ECHO? " + text), VI_SUCCESS);
        EXPECT_TRUE(Same(ReadWhole(vi, buffer, status), text + "\n")) << buffer;
        EXPECT_EQ(status, VI_SUCCESS) << buffer;
    }

    // Replies whose length is the buffer's or a multiple of it, of the
    // device's 40-byte pieces too: the END on the last full piece (or after
    // it) ends the reply, and no read waits for more.
    for (ViUInt32 length : {ViUInt32{40}, ViUInt32{80}, ViUInt32{1200}}) {
        const std::string reply = Letters(length - 1) + "\n";
        for (ViUInt32 buffer : {length, length / 2}) {
            ASSERT_EQ(send("ECHO? " + reply.substr(0, length - 1)), VI_SUCCESS);
            auto start = Clock::now();
            EXPECT_TRUE(Same(ReadWhole(vi, buffer, status), reply)) << length << " " << buffer;
            EXPECT_EQ(status, VI_SUCCESS) << length << " " << buffer;
            EXPECT_LT(SecondsSince(start), 1.0) << length << " " << buffer;
        }
    }

    // A read with nothing to read times out, also one right after a read
    // that ended at the line feed (an END that came late belongs to the
    // reply before); the next query is answered.
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(send("*IDN?"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, status), identity);
    EXPECT_EQ(Read(vi, 256, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
    ASSERT_EQ(send("*CLS"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
    ASSERT_EQ(send("*IDN?"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, status), identity);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(m_server->LiveLinks(), 0u);

    // Every command reached the meter whole and once: none was cut where a
    // device_write ended, none taken twice.
    std::vector<std::string> logged = LoggedCommands(m_logPath);
    ASSERT_EQ(logged.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_TRUE(Same(logged[i], sent[i])) << i;
    }
}

TEST_P(Vxi11Quirks, TheTerminationCharacterEndsAReadThatTheDeviceDoesNotEnd) {
    ServeMeter();
    ViSession vi = Open();
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    for (ViUInt32 buffer : {ViUInt32{100}, kvt::visa::Vxi11Session::kReadAhead}) {
        ASSERT_EQ(Write(vi, "ECHO? 1," + Letters(50) + ",333"), VI_SUCCESS);
        EXPECT_EQ(Read(vi, buffer, status), "1,") << buffer;
        EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR) << buffer;
        EXPECT_EQ(Read(vi, buffer, status), Letters(50) + ",") << buffer;
        EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR) << buffer;
        EXPECT_EQ(Read(vi, buffer, status), "333\n") << buffer;
        EXPECT_EQ(status, VI_SUCCESS) << buffer;
    }
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
}

TEST_P(Vxi11Quirks, AMebibyteReplyArrivesWholeAndOnce) {
    constexpr size_t kMiB = 1024 * 1024;
    kvt::sim::FaultSettings faults;
    faults.oversize = kMiB;  // every reply padded with blanks to 1 MiB
    ServeMeter(faults);
    ViSession vi = Open();
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 10000), VI_SUCCESS);
    const std::string head = kvt::sim::MeterModel::kIdentity;
    ViStatus status = VI_ERROR_IO;
    // A larger buffer, one exactly as long, and pyvisa's 20 KiB pieces; in
    // 40-byte pieces only the exact one (of the slow ways, the one that
    // meets a late END alone).
    std::vector<ViUInt32> buffers = {kMiB + 16, kMiB, 20 * 1024};
    if (m_quirks.PiecesOn()) {
        buffers = {kMiB};
    }
    for (ViUInt32 buffer : buffers) {
        ASSERT_EQ(Write(vi, "*IDN?"), VI_SUCCESS);
        std::string reply = ReadWhole(vi, buffer, status);
        EXPECT_EQ(status, VI_SUCCESS) << buffer;
        ASSERT_EQ(reply.size(), kMiB) << buffer;
        EXPECT_EQ(reply.substr(0, head.size()), head) << buffer;
        // Nothing duplicated or lost: the identity, blanks, one line feed.
        EXPECT_EQ(reply.back(), '\n') << buffer;
        EXPECT_EQ(reply.find_first_not_of(' ', head.size()), kMiB - 1) << buffer;
        EXPECT_EQ(reply.find('\n'), kMiB - 1) << buffer;
    }
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(EachAndAll, Vxi11Quirks,
                         ::testing::Values("max-recv-1024", "max-recv-128", "pieces-40",
                                           "pieces-40-bare", "ignore-termchar", "late-end",
                                           "empty-reads", "fragments", "no-lock-wait", "one-link",
                                           "all"),
                         [](const ::testing::TestParamInfo<const char*>& quirk) {
                             std::string name = quirk.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Whether `condition` holds within `timeout`, looked at every millisecond.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// What the process holds: open descriptors and resident memory.
size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator{}));
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Against a device with every quirk on (one link at a time, links kept
// until destroyed): every link a session makes is destroyed, whatever
// ended the session, and many sessions leave nothing behind.
class Vxi11EveryQuirk : public Vxi11Visa {
protected:
    // The meter, telling each time the server looks for a reply.
    class WatchedMeter : public kvt::sim::MeterModel {
    public:
        std::string TakeResponse() override {
            std::string response = MeterModel::TakeResponse();
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_looks;
            m_looked.notify_all();
            return response;
        }
        // Waits until the server has looked once more than `seen` times.
        bool WaitForLook(int seen, std::chrono::milliseconds timeout) {
            std::unique_lock<std::mutex> lock(m_mutex);
            return m_looked.wait_for(lock, timeout, [&] { return m_looks > seen; });
        }
        int Looks() {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_looks;
        }

    private:
        std::mutex m_mutex;
        std::condition_variable m_looked;
        int m_looks = 0;
    };

    void ServeMeter() {
        kvt::sim::QuirkSettings quirks;
        std::string error;
        ASSERT_TRUE(quirks.Apply("all", error)) << error;
        Serve(m_meter, {}, quirks);
    }

    std::shared_ptr<WatchedMeter> m_meter = std::make_shared<WatchedMeter>();

    // "*IDN?" answered in full on a session.
    static bool Identifies(ViSession vi) {
        ViStatus status = VI_ERROR_IO;
        return Write(vi, "*IDN?") == VI_SUCCESS &&
               Read(vi, 256, status) == std::string(kvt::sim::MeterModel::kIdentity) + "\n" &&
               status == VI_SUCCESS;
    }

    // Descriptors and memory taken after a warm-up, compared at the end.
    void Measure() {
        m_descriptors = OpenDescriptors();
        m_resident = ResidentBytes();
    }
    void ExpectNothingGrew() {
        // The server in this process closes its end of the last connection
        // when it sees the close.
        EXPECT_TRUE(
            Eventually([&] { return OpenDescriptors() <= m_descriptors; }, std::chrono::seconds(5)))
            << OpenDescriptors() << " descriptors, " << m_descriptors << " before";
        // Sanitizers keep freed memory aside (ASan's quarantine) and grow
        // their shadow memory, so resident memory says nothing there; leaks
        // are their own check.
        if (!kSanitized) {
            EXPECT_LT(ResidentBytes(), m_resident + 2 * 1024 * 1024)
                << "from " << m_resident << " bytes";
        }
    }

    size_t m_descriptors = 0;
    size_t m_resident = 0;
};

TEST_F(Vxi11EveryQuirk, AThousandSessionsLeaveNoLinkAndNoGrowth) {
    ServeMeter();
    auto cycle = [&] {
        ViSession vi = VI_NULL;
        ViStatus opened = viOpen(m_rm, kResource, VI_NO_LOCK, 0, &vi);
        bool ok = opened == VI_SUCCESS && Identifies(vi);
        return viClose(vi) == VI_SUCCESS && ok;
    };
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(cycle()) << i;
    }
    Measure();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(cycle()) << i;  // a link left behind would lock the next one out
    }
    EXPECT_EQ(m_server->LiveLinks(), 0u);
    ExpectNothingGrew();
}

TEST_F(Vxi11EveryQuirk, AThousandTimeoutsEachFollowedByAGoodQuery) {
    ServeMeter();
    ViSession vi = Open();
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 1), VI_SUCCESS);
    auto timeoutThenQuery = [&] {
        ViStatus status = VI_SUCCESS;
        bool timedOut = Write(vi, "*CLS") == VI_SUCCESS && Read(vi, 256, status).empty() &&
                        status == VI_ERROR_TMO;
        return timedOut && Identifies(vi);
    };
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(timeoutThenQuery()) << i;
    }
    Measure();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(timeoutThenQuery()) << i;
    }
    ExpectNothingGrew();
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(m_server->LiveLinks(), 0u);
}

TEST_F(Vxi11EveryQuirk, ALinkIsDestroyedAfterAnAbortWhetherAReadWaitsOrNot) {
    ServeMeter();
    // Aborted while the device waits for a reply to a read: the connection
    // is shut down, and closing destroys the link all the same.
    ViSession vi = Open();
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 60000), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    const int looks = m_meter->Looks();
    std::thread reader([&] { Read(vi, 64, status); });
    EXPECT_TRUE(m_meter->WaitForLook(looks, std::chrono::seconds(5)));
    EXPECT_EQ(kvt::visa::AbortSessionIo(vi), VI_SUCCESS);
    reader.join();
    EXPECT_NE(status, VI_SUCCESS);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(m_server->LiveLinks(), 0u);
    vi = Open();
    ASSERT_NE(vi, VI_NULL);
    EXPECT_TRUE(Identifies(vi));

    // Aborted while idle, then closed.
    EXPECT_EQ(kvt::visa::AbortSessionIo(vi), VI_SUCCESS);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(m_server->LiveLinks(), 0u);
    vi = Open();
    ASSERT_NE(vi, VI_NULL);
    EXPECT_TRUE(Identifies(vi));
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(m_server->LiveLinks(), 0u);
}

}  // namespace
