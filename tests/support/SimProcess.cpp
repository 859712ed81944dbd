#include "tests/support/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <sstream>

extern char** environ;

namespace kvt::test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

// A descriptor that polls readable once the child has ended (-1 when the
// kernel lacks pidfds; the wait then only checks once).
int OpenPidFd(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// Starts program with stdout and stderr on pipes (returned non-blocking).
bool Spawn(const std::string& program, const std::vector<std::string>& arguments, pid_t& pid,
           int& outFd, int& errFd, std::string& error) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    int result = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (result != 0) {
        error = program + ": " + std::strerror(result);
        ::close(out[0]);
        ::close(err[0]);
        return false;
    }
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);
    outFd = out[0];
    errFd = err[0];
    return true;
}

// Appends what fd has to text; false at end of file.
bool Drain(int fd, std::string& text) {
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<size_t>(n));
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
}

// Waits for the child to end until the deadline, then kills it. Returns the
// exit code, or -1 after a signal or the deadline.
int Reap(pid_t pid, int pidFd, Clock::time_point deadline) {
    pollfd p{pidFd, POLLIN, 0};
    while (pidFd >= 0 && ::poll(&p, 1, MillisecondsLeft(deadline)) < 0 && errno == EINTR) {
    }
    int status = 0;
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string SimProcess::Path() {
    return KVT_SIM_PATH;
}

SimProcess::SimProcess(std::vector<std::string> arguments, std::chrono::milliseconds readyTimeout) {
    if (std::find(arguments.begin(), arguments.end(), "--socket") == arguments.end()) {
        arguments.insert(arguments.begin(), {"--socket", "0"});
    }
    if (!Spawn(Path(), arguments, m_pid, m_outFd, m_errFd, m_error)) {
        m_pid = -1;
        return;
    }
    m_pidFd = OpenPidFd(m_pid);
    Clock::time_point deadline = Clock::now() + readyTimeout;
    std::string out;
    std::string err;
    bool open = true;
    while (open && !m_ready) {
        pollfd p[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
        int n = ::poll(p, 2, MillisecondsLeft(deadline));
        if (n == 0) {
            m_error = "no \"ready\" in time; output: " + out + err;
            return;
        }
        open = Drain(m_outFd, out);
        Drain(m_errFd, err);
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("ports:", 0) == 0) {
                std::istringstream words(line.substr(6));
                for (std::string word; words >> word;) {
                    size_t equals = word.find('=');
                    uint16_t port = 0;
                    const char* end = word.data() + word.size();
                    if (equals != std::string::npos &&
                        std::from_chars(word.data() + equals + 1, end, port).ptr == end) {
                        m_ports[word.substr(0, equals)] = port;
                    }
                }
            }
            m_ready = m_ready || line == "ready";
        }
    }
    if (!m_ready) {
        m_error = "ended before \"ready\"; output: " + out + err;
    }
}

SimProcess::~SimProcess() {
    Stop(SIGTERM);
}

uint16_t SimProcess::Port(const std::string& name) const {
    auto it = m_ports.find(name);
    return it == m_ports.end() ? 0 : it->second;
}

int SimProcess::Stop(int signal, std::chrono::milliseconds timeout) {
    if (m_pid < 0) {
        return -1;
    }
    ::kill(m_pid, signal);
    int code = Reap(m_pid, m_pidFd, Clock::now() + timeout);
    m_pid = -1;
    for (int* fd : {&m_pidFd, &m_outFd, &m_errFd}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    return code;
}

SimProcess::Result SimProcess::Run(const std::string& program,
                                   const std::vector<std::string>& arguments,
                                   std::chrono::milliseconds timeout) {
    Result result;
    pid_t pid = -1;
    int outFd = -1;
    int errFd = -1;
    if (!Spawn(program, arguments, pid, outFd, errFd, result.err)) {
        return result;
    }
    int pidFd = OpenPidFd(pid);
    Clock::time_point deadline = Clock::now() + timeout;
    bool outOpen = true;
    bool errOpen = true;
    while ((outOpen || errOpen) && Clock::now() < deadline) {
        pollfd p[2] = {{outOpen ? outFd : -1, POLLIN, 0}, {errOpen ? errFd : -1, POLLIN, 0}};
        if (::poll(p, 2, MillisecondsLeft(deadline)) <= 0) {
            continue;
        }
        outOpen = outOpen && Drain(outFd, result.out);
        errOpen = errOpen && Drain(errFd, result.err);
    }
    result.exitCode = Reap(pid, pidFd, deadline);
    for (int fd : {pidFd, outFd, errFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return result;
}

}  // namespace kvt::test
