#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kvt::test {

// The korvata-sim program running beside a test. The constructor starts it
// and waits (bounded) until it prints "ready"; the destructor stops it with
// SIGTERM. Unless the arguments name --socket, "--socket 0" is added so that
// tests running side by side never fight over port 5025.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> arguments,
                        std::chrono::milliseconds readyTimeout = std::chrono::seconds(10));
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True once "ready" was printed; otherwise Error() says what happened.
    bool Ready() const { return m_ready; }
    const std::string& Error() const { return m_error; }

    // A port from the "ports:" line ("socket", "vxi11-core", "vxi11-abort",
    // "portmapper"); 0 when the line does not name it.
    uint16_t Port(const std::string& name) const;
    pid_t Pid() const { return m_pid; }

    // Sends `signal` and waits for the end. Returns the exit code, or -1 when
    // the process died of a signal or did not end in time (it is then killed).
    int Stop(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    struct Result {
        int exitCode = -1;  // -1: killed by a signal or timed out
        std::string out;
        std::string err;
    };
    // Runs a program to its end with the output captured; killed when it
    // outlasts the timeout.
    static Result Run(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30));

    // Path of the korvata-sim binary under test.
    static std::string Path();

private:
    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    bool m_ready = false;
    std::string m_error;
    std::map<std::string, uint16_t> m_ports;
};

}  // namespace kvt::test
