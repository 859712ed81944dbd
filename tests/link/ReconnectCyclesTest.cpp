// A thousand drops and returns of a meter over real VXI-11 on loopback
// (korvata-sim, its own portmapper): the session is lost on our side, and
// every hundredth time the simulator itself is killed and started again on
// the same port. Each time the reconnector opens the same resource again
// and a reading arrives; descriptors and memory stay where they were.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include <signal.h>
#include <stdlib.h>

#include "link/CConectWithNI.h"
#include "link/CoreCommands.h"
#include "link/Pacer.h"
#include "link/Reconnector.h"
#include "tests/support/SimProcess.h"

namespace kvt::test {
namespace {

using std::chrono::milliseconds;

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// Resident memory in kB.
long ResidentKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) {
            break;
        }
    }
    if (status != nullptr) {
        std::fclose(status);
    }
    return kb;
}

class ReconnectCycles : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim =
            std::make_unique<SimProcess>(std::vector<std::string>{"--vxi11", "--portmapper", "0"});
        ASSERT_TRUE(m_sim->Ready()) << m_sim->Error();
        m_port = m_sim->Port("portmapper");
        setenv("KORVATA_VISA_PORTMAPPER_PORT", std::to_string(m_port).c_str(), 1);
        link::InstallPacer(&m_pacer);
    }
    void TearDown() override {
        m_connection.Close();
        link::InstallPacer(nullptr);
        unsetenv("KORVATA_VISA_PORTMAPPER_PORT");
    }

    // The meter drops off: our session is lost (every exchange on it now
    // fails) and closed, as the window does when its readings stop. Every
    // so often the simulator dies too and comes back on the same port.
    void Drop(bool killSimulator) {
        m_connection.AbortIo();
        m_connection.Close();
        if (killSimulator) {
            m_sim->Stop(SIGKILL);
            m_sim = std::make_unique<SimProcess>(
                std::vector<std::string>{"--vxi11", "--portmapper", std::to_string(m_port)});
            ASSERT_TRUE(m_sim->Ready()) << m_sim->Error();
        }
    }

    // Brings the meter back through the reconnector and reads it once.
    void Return() {
        std::mutex mutex;
        std::condition_variable done;
        bool succeeded = false;
        m_reconnector.Begin(0, [&](const link::Reconnector::Progress& progress) {
            if (progress.step == link::Reconnector::Step::Succeeded) {
                std::lock_guard<std::mutex> lock(mutex);
                succeeded = true;
                done.notify_all();
            }
        });
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(20), [&] { return succeeded; }));
        lock.unlock();
        m_reconnector.Join();
        ASSERT_FALSE(link::ReadLastValue().empty());
    }

    // The program's one connection, through which the commands go.
    link::CConectWithNI& m_connection = *static_cast<link::CConectWithNI*>(link::GetConnection());
    link::Reconnector m_reconnector{
        // As the window attempts: open the same resource, clear the meter.
        [this] {
            return m_connection.Open("TCPIP0::127.0.0.1::inst0::INSTR") &&
                   m_connection.ClearDevice();
        },
        milliseconds(1), milliseconds(20)};
    link::RecordingPacer m_pacer;
    std::unique_ptr<SimProcess> m_sim;
    uint16_t m_port = 0;
};

TEST_F(ReconnectCycles, AThousandDropsAndReturnsLeaveDescriptorsAndMemoryFlat) {
    ASSERT_TRUE(m_connection.Open("TCPIP0::127.0.0.1::inst0::INSTR"));
    m_connection.Close();
    // Warm up: the first cycles fill caches that stay.
    for (int i = 0; i < 20; ++i) {
        ASSERT_NO_FATAL_FAILURE(Drop(i == 10));
        ASSERT_NO_FATAL_FAILURE(Return());
    }
    const size_t descriptors = OpenDescriptors();
    const long resident = ResidentKb();
    for (int i = 1; i <= 1000; ++i) {
        ASSERT_NO_FATAL_FAILURE(Drop(i % 100 == 0)) << i;
        ASSERT_NO_FATAL_FAILURE(Return()) << i;
        if (HasFailure()) {
            return;
        }
    }
    std::printf("figure: 1000 drops and returns: descriptors %zu -> %zu, resident %ld -> %ld kB\n",
                descriptors, OpenDescriptors(), resident, ResidentKb());
    EXPECT_EQ(OpenDescriptors(), descriptors);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers hold freed memory back on purpose (AddressSanitizer's
    // quarantine alone is 256 MB): resident memory says nothing there.
#else
    EXPECT_LT(ResidentKb() - resident, 2048) << "resident before: " << resident << " kB";
#endif
}

}  // namespace
}  // namespace kvt::test
