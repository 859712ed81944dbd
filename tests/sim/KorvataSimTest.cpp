// The korvata-sim program as a user runs it: its command line, start-up
// lines, log file and stop signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <fstream>
#include <sstream>
#include <string>

#include "sim/MeterModel.h"
#include "tests/support/SimProcess.h"

namespace {

using kvt::test::SimProcess;

// A plain TCP client: sends a line and reads one line back (bounded).
class LineClient {
public:
    explicit LineClient(uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~LineClient() { ::close(m_fd); }
    bool Connected() const { return m_connected; }

    bool Send(const std::string& line) {
        return ::send(m_fd, line.data(), line.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(line.size());
    }

    std::string Query(const std::string& line) {
        if (!Send(line)) {
            return "<send failed>";
        }
        std::string reply;
        while (reply.empty() || reply.back() != '\n') {
            pollfd p{m_fd, POLLIN, 0};
            char c = 0;
            if (::poll(&p, 1, 5000) <= 0 || ::recv(m_fd, &c, 1, 0) != 1) {
                return reply + "<no reply>";
            }
            reply += c;
        }
        return reply;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(KorvataSim, HelpListsTheOptions) {
    SimProcess::Result r = SimProcess::Run(SimProcess::Path(), {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* option :
         {"--socket",       "--vxi11",        "--portmapper",    "--seed",        "--log",
          "--fault",        "delay=",         "silent-after=",   "drop-after=",   "garbage-every=",
          "oversize=",      "5025",           "--quirk",         "max-recv-1024", "max-recv-128",
          "pieces-40",      "pieces-40-bare", "ignore-termchar", "late-end",      "empty-reads",
          "fragments",      "no-lock-wait",   "one-link",        " all ",         "--announce",
          "_scpi-raw._tcp", "_vxi-11._tcp"}) {
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(r.err, "");
}

TEST(KorvataSim, BadOptionsPrintUsageAndExit2) {
    for (std::vector<std::string> arguments : {std::vector<std::string>{"--frobnicate"},
                                               {"--fault", "delay=soon"},
                                               {"--socket", "99999"},
                                               {"--vxi11", "--quirk", "sloppy"},
                                               {"--portmapper", "111"}}) {
        SimProcess::Result r = SimProcess::Run(SimProcess::Path(), arguments);
        EXPECT_EQ(r.exitCode, 2) << arguments[0];
        EXPECT_NE(r.err.find("Usage: korvata-sim"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(KorvataSim, ReportsItsPortAndLogsWhatItServes) {
    std::string log = ::testing::TempDir() + "korvata-sim-" + std::to_string(::getpid()) + ".log";
    {
        SimProcess sim({"--log", log, "--seed", "7"});
        ASSERT_TRUE(sim.Ready()) << sim.Error();
        ASSERT_NE(sim.Port("socket"), 0);
        EXPECT_EQ(sim.Port("vxi11-core"), 0);
        LineClient client(sim.Port("socket"));
        ASSERT_TRUE(client.Connected());
        EXPECT_EQ(client.Query("*IDN?\r\n"), std::string(kvt::sim::MeterModel::kIdentity) + "\n");
        EXPECT_EQ(client.Query("ECHO? x\ty\n"), "x\ty\n");
        EXPECT_EQ(sim.Stop(SIGTERM), 0);
    }
    EXPECT_EQ(FileText(log), "> *IDN?\n< " + std::string(kvt::sim::MeterModel::kIdentity) +
                                 "\\n\n> ECHO? x\\ty\n< x\\ty\\n\n");
    std::remove(log.c_str());
}

TEST(KorvataSim, StopsCleanlyOnSigintWithAClientConnected) {
    SimProcess sim({});
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    LineClient client(sim.Port("socket"));
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(client.Query("ECHO? hi\n"), "hi\n");
    EXPECT_EQ(sim.Stop(SIGINT), 0);
}

// The read end of a named pipe that korvata-sim logs into, so that a test
// can wait for the moment a command has arrived.
class LogPipe {
public:
    LogPipe() {
        ::mkfifo(m_path.c_str(), 0600);
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~LogPipe() {
        ::close(m_fd);
        std::remove(m_path.c_str());
    }
    const std::string& Path() const { return m_path; }
    bool Open() const { return m_fd >= 0; }

    // Waits (bounded) until `line` has been logged.
    bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_text.find(line + "\n") == std::string::npos) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char chunk[256];
            ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0) {
                return false;
            }
            m_text.append(chunk, static_cast<size_t>(n));
        }
        return true;
    }

private:
    std::string m_path =
        ::testing::TempDir() + "korvata-sim-pipe-" + std::to_string(::getpid()) + ".log";
    int m_fd = -1;
    std::string m_text;
};

TEST(KorvataSim, StopsAtOnceWhileAReplyIsHeldBackByADelay) {
    LogPipe log;
    ASSERT_TRUE(log.Open());
    SimProcess sim({"--vxi11", "--portmapper", "0", "--log", log.Path(), "--fault", "delay=60000"});
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    LineClient client(sim.Port("socket"));
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Send("*IDN?\n"));
    // The command is logged as it arrives; the reply then waits a minute.
    ASSERT_TRUE(log.WaitForLine("> *IDN?", std::chrono::seconds(5)));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sim.Stop(SIGTERM, std::chrono::seconds(5)), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(KorvataSim, APortInUseIsAnError) {
    SimProcess first({});
    ASSERT_TRUE(first.Ready()) << first.Error();
    std::string port = std::to_string(first.Port("socket"));
    SimProcess::Result r = SimProcess::Run(SimProcess::Path(), {"--socket", port});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(port), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("ready"), std::string::npos);
}

TEST(KorvataSim, AnUnwritableLogIsAnError) {
    SimProcess::Result r =
        SimProcess::Run(SimProcess::Path(), {"--socket", "0", "--log", "/nonexistent-dir/sim.log"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("/nonexistent-dir/sim.log"), std::string::npos) << r.err;
}

}  // namespace
