// Raw-socket sessions through the VISA calls, against the simulated meter's
// socket server in this process (with faults) and against korvata-sim.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "sim/MeterModel.h"
#include "sim/ServedInstrument.h"
#include "sim/SocketServer.h"
#include "tests/support/SimProcess.h"
#include "tests/support/VisaRead.h"
#include "visa/visa.h"

namespace {

using kvt::test::Read;

using Clock = std::chrono::steady_clock;
// Added to a timeout for the latest it may end: wide enough for a loaded
// two-core machine or a sanitizer build.
constexpr std::chrono::seconds kTimeoutMargin{5};
using kvt::sim::MeterModel;

const std::string kIdentity = std::string(MeterModel::kIdentity) + "\n";

std::string SocketName(uint16_t port) {
    return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
}

// A VISA resource manager and helpers for one socket session.
class SocketVisa : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(viOpenDefaultRM(&m_rm), VI_SUCCESS); }
    void TearDown() override { viClose(m_rm); }

    ViSession Open(uint16_t port, ViUInt32 timeoutMs = 2000) {
        ViSession vi = VI_NULL;
        EXPECT_EQ(viOpen(m_rm, SocketName(port).c_str(), VI_NO_LOCK, 0, &vi), VI_SUCCESS);
        if (vi != VI_NULL) {
            EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, timeoutMs), VI_SUCCESS);
        }
        return vi;
    }

    static ViStatus Write(ViSession vi, const std::string& text) {
        ViUInt32 n = 0;
        ViStatus s = viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()),
                             static_cast<ViUInt32>(text.size()), &n);
        EXPECT_EQ(n, s < VI_SUCCESS ? n : text.size());
        return s;
    }

    // Reads one whole reply in chunks of `chunk` bytes.
    static std::string ReadReply(ViSession vi, ViUInt32 chunk, int& chunks) {
        std::string reply;
        chunks = 0;
        for (;;) {
            ViStatus s = VI_ERROR_IO;
            reply += Read(vi, chunk, s);
            ++chunks;
            if (s != VI_SUCCESS_MAX_CNT) {
                EXPECT_EQ(s, VI_SUCCESS_TERM_CHAR);
                return reply;
            }
        }
    }

    ViSession m_rm = VI_NULL;
};

// The meter's socket server in this process, with the given faults.
class InProcessServer : public SocketVisa {
protected:
    void Serve(kvt::sim::FaultSettings faults = {}) {
        m_instrument = std::make_unique<kvt::sim::ServedInstrument>(std::make_shared<MeterModel>(),
                                                                    faults, nullptr);
        m_server = std::make_unique<kvt::sim::SocketServer>(*m_instrument);
        std::string error;
        ASSERT_TRUE(m_server->Start(0, error)) << error;
        ASSERT_NE(m_server->Port(), 0);
    }
    void TearDown() override {
        if (m_server) {
            m_server->Stop();
        }
        SocketVisa::TearDown();
    }

    std::unique_ptr<kvt::sim::ServedInstrument> m_instrument;
    std::unique_ptr<kvt::sim::SocketServer> m_server;
};

TEST_F(InProcessServer, QueriesIdentityWithTermCharOnByDefault) {
    Serve();
    ViSession vi = Open(m_server->Port());
    ViBoolean termEnabled = VI_FALSE;
    ViUInt8 termChar = 0;
    ViUInt16 port = 0;
    char address[VI_FIND_BUFLEN] = {};
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR_EN, &termEnabled), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR, &termChar), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_PORT, &port), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, address), VI_SUCCESS);
    EXPECT_EQ(termEnabled, VI_TRUE);
    EXPECT_EQ(termChar, '\n');
    EXPECT_EQ(port, m_server->Port());
    EXPECT_STREQ(address, "127.0.0.1");
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TCPIP_PORT, 1), VI_ERROR_ATTR_READONLY);

    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    ViStatus s = VI_ERROR_IO;
    EXPECT_EQ(Read(vi, 256, s), kIdentity);
    EXPECT_EQ(s, VI_SUCCESS_TERM_CHAR);

    // Two queries in one write: each read stops at its own line feed.
    ASSERT_EQ(Write(vi, "ECHO? one\r\nECHO? two\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, s), "one\n");
    EXPECT_EQ(s, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(Read(vi, 256, s), "two\n");
    EXPECT_EQ(s, VI_SUCCESS_TERM_CHAR);
    viClose(vi);
}

TEST_F(InProcessServer, SmallBufferReadsLeaveTheRestReadable) {
    Serve();
    ViSession vi = Open(m_server->Port());
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    ViStatus s = VI_ERROR_IO;
    EXPECT_EQ(Read(vi, 7, s), kIdentity.substr(0, 7));
    EXPECT_EQ(s, VI_SUCCESS_MAX_CNT);
    int chunks = 0;
    EXPECT_EQ(ReadReply(vi, 5, chunks), kIdentity.substr(7));
    EXPECT_EQ(chunks, static_cast<int>((kIdentity.size() - 7 + 4) / 5));
    viClose(vi);
}

TEST_F(InProcessServer, TermCharSettingsDecideWhereAReadEnds) {
    Serve();
    ViSession vi = Open(m_server->Port(), 300);
    ViStatus s = VI_ERROR_IO;

    // Another termination character: the read ends at the first comma.
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, s), "KORVATA,");
    EXPECT_EQ(s, VI_SUCCESS_TERM_CHAR);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, '\n'), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, s), kIdentity.substr(8));

    // Disabled: only a full buffer ends a read; a larger one times out and
    // loses nothing.
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "ECHO? abc\nECHO? def\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 6, s), "abc\nde");
    EXPECT_EQ(s, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(vi, 256, s), "");
    EXPECT_EQ(s, VI_ERROR_TMO);
    EXPECT_EQ(Read(vi, 2, s), "f\n");
    EXPECT_EQ(s, VI_SUCCESS_MAX_CNT);
    viClose(vi);
}

TEST_F(InProcessServer, LargeMessagesGoBothWays) {
    Serve();
    ViSession vi = Open(m_server->Port());
    // Far more than a socket buffer: the write must loop over partial sends
    // while the server is still answering.
    std::string text(3 << 20, 'x');
    for (size_t i = 0; i < text.size(); i += 997) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    ASSERT_EQ(Write(vi, "ECHO? " + text + "\n"), VI_SUCCESS);
    int chunks = 0;
    std::string reply = ReadReply(vi, 1 << 20, chunks);
    EXPECT_EQ(reply.size(), text.size() + 1);
    EXPECT_TRUE(reply == text + "\n");
    EXPECT_EQ(chunks, 4);
    viClose(vi);
}

TEST_F(InProcessServer, SilenceTimesOutWithinTheTimeout) {
    kvt::sim::FaultSettings faults;
    faults.silentAfter = 1;
    Serve(faults);
    ViSession vi = Open(m_server->Port(), 400);
    ViStatus s = VI_ERROR_IO;
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, s), kIdentity);

    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(Read(vi, 256, s), "");
    auto elapsed = Clock::now() - start;
    EXPECT_EQ(s, VI_ERROR_TMO);
    // Honoured: not cut short, and ended by this timeout rather than a
    // longer one (the margin is wide enough for a loaded machine; speed is
    // measured elsewhere).
    EXPECT_GE(elapsed, std::chrono::milliseconds(400));
    EXPECT_LT(elapsed, std::chrono::milliseconds(400) + kTimeoutMargin);
    viClose(vi);
}

TEST_F(InProcessServer, DroppedReplyDeliversItsBytesThenConnectionLost) {
    kvt::sim::FaultSettings faults;
    faults.dropAfter = 1;
    Serve(faults);
    ViSession vi = Open(m_server->Port());
    ViStatus s = VI_ERROR_IO;
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, s), kIdentity);
    EXPECT_EQ(s, VI_SUCCESS_TERM_CHAR);

    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, s), kIdentity.substr(0, kIdentity.size() / 2));
    EXPECT_EQ(s, VI_ERROR_CONN_LOST);
    EXPECT_EQ(Read(vi, 256, s), "");
    EXPECT_EQ(s, VI_ERROR_CONN_LOST);
    EXPECT_EQ(Write(vi, "*IDN?\n"), VI_ERROR_CONN_LOST);
    viClose(vi);

    // The server goes on serving new connections.
    vi = Open(m_server->Port());
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 256, s), kIdentity.substr(0, kIdentity.size() / 2));
    EXPECT_EQ(s, VI_ERROR_CONN_LOST);
    viClose(vi);
}

TEST_F(InProcessServer, GarbageKeepsTheFraming) {
    kvt::sim::FaultSettings faults;
    faults.garbageEvery = 2;
    Serve(faults);
    ViSession vi = Open(m_server->Port());
    ViStatus s = VI_ERROR_IO;
    for (int i = 1; i <= 4; ++i) {
        ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
        std::string reply = Read(vi, 256, s);
        EXPECT_EQ(s, VI_SUCCESS_TERM_CHAR);
        ASSERT_EQ(reply.size(), kIdentity.size());
        EXPECT_EQ(reply == kIdentity, i % 2 == 1) << i;
    }
    viClose(vi);
}

TEST_F(InProcessServer, OversizedReplyFillsTheBufferThenTheRestFollows) {
    kvt::sim::FaultSettings faults;
    faults.oversize = 5000;
    Serve(faults);
    ViSession vi = Open(m_server->Port());
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    ViStatus s = VI_ERROR_IO;
    std::string first = Read(vi, 1024, s);
    EXPECT_EQ(s, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(first.size(), 1024u);
    int chunks = 0;
    std::string reply = first + ReadReply(vi, 1024, chunks);
    EXPECT_EQ(chunks, 4);
    ASSERT_EQ(reply.size(), 5000u);
    EXPECT_EQ(reply.substr(0, kIdentity.size() - 1), kIdentity.substr(0, kIdentity.size() - 1));
    EXPECT_EQ(reply.find_first_not_of(' ', kIdentity.size() - 1), 4999u);
    EXPECT_EQ(reply.back(), '\n');
    viClose(vi);
}

TEST_F(SocketVisa, NoListenerFailsAtOnce) {
    // A port that was bound and released: nobody listens there.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);

    ViSession vi = VI_NULL;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(viOpen(m_rm, SocketName(ntohs(address.sin_port)).c_str(), VI_NO_LOCK, 0, &vi),
              VI_ERROR_RSRC_NFOUND);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(vi, VI_NULL);
    EXPECT_EQ(viOpen(m_rm, "TCPIP0::no-such-host.invalid::5025::SOCKET", VI_NO_LOCK, 0, &vi),
              VI_ERROR_RSRC_NFOUND);
}

TEST_F(SocketVisa, ConnectingIsBoundedByTheTimeout) {
    // A listener whose accept queue is full and never drained: the kernel
    // drops further handshakes, so a connect waits until it gives up.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    std::vector<ViSession> filling;
    ASSERT_EQ(viSetAttribute(m_rm, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    Clock::time_point start;
    for (int i = 0; i < 8 && status == VI_SUCCESS; ++i) {
        ViSession vi = VI_NULL;
        start = Clock::now();
        status = viOpen(m_rm, SocketName(ntohs(address.sin_port)).c_str(), VI_NO_LOCK, 0, &vi);
        filling.push_back(vi);
    }
    auto elapsed = Clock::now() - start;
    EXPECT_EQ(status, VI_ERROR_TMO);
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));
    EXPECT_LT(elapsed, std::chrono::milliseconds(300) + kTimeoutMargin);
    ::close(listener);
}

TEST_F(SocketVisa, WritingToAClosedPeerFailsWithoutKillingTheProcess) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ViSession vi = Open(ntohs(address.sin_port));
    ::close(::accept(listener, nullptr, nullptr));
    ::close(listener);

    // The first writes may still be taken by the kernel; once the peer's
    // reset is back, a write fails (and SIGPIPE would end this test).
    ViStatus status = VI_SUCCESS;
    for (int i = 0; i < 1000 && status == VI_SUCCESS; ++i) {
        status = Write(vi, "*IDN?\n");
    }
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    ViStatus s = VI_ERROR_IO;
    EXPECT_EQ(Read(vi, 16, s), "");
    EXPECT_EQ(s, VI_ERROR_CONN_LOST);
    viClose(vi);
}

// The same session against the korvata-sim program, with its own faults.
TEST_F(SocketVisa, TalksToTheSimulatorProgram) {
    kvt::test::SimProcess sim({"--fault", "oversize=3000", "--fault", "silent-after=3"});
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    ViSession vi = Open(sim.Port("socket"), 300);
    ViStatus s = VI_ERROR_IO;
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    int chunks = 0;
    std::string reply = ReadReply(vi, 1000, chunks);
    EXPECT_EQ(reply.size(), 3000u);
    EXPECT_EQ(reply.rfind(MeterModel::kIdentity, 0), 0u);
    EXPECT_EQ(chunks, 3);
    viClose(vi);

    // A second client after the first has gone.
    vi = Open(sim.Port("socket"), 300);
    ASSERT_EQ(Write(vi, "ECHO? abc\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 5000, s).substr(0, 3), "abc");
    ASSERT_EQ(Write(vi, "ECHO? def\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 5000, s).size(), 3000u);
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, 5000, s), "");
    EXPECT_EQ(s, VI_ERROR_TMO);
    viClose(vi);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
