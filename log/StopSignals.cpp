#include "log/StopSignals.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace kvt::logger {

StopSignals::~StopSignals() {
    if (m_signalFd >= 0) {
        ::close(m_signalFd);
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
    }
}

bool StopSignals::Install(std::string& error) {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    struct sigaction hangUp {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN) {
        sigaddset(&stops, SIGHUP);
    }
    if (pthread_sigmask(SIG_BLOCK, &stops, nullptr) != 0) {
        error = "Could not block the stop signals.";
        return false;
    }
    m_signalFd = ::signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_signalFd < 0 || m_wakeFd < 0) {
        error = std::string("Could not wait for the stop signals: ") + std::strerror(errno) + ".";
        return false;
    }
    return true;
}

int StopSignals::Wait(std::chrono::milliseconds timeout) {
    pollfd watched[2] = {{m_signalFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int ready = ::poll(watched, 2, static_cast<int>(std::max<int64_t>(0, timeout.count())));
    if (ready <= 0) {
        return 0;
    }
    if ((watched[1].revents & POLLIN) != 0) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &count, sizeof count);
    }
    if ((watched[0].revents & POLLIN) != 0) {
        signalfd_siginfo info{};
        if (::read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            return static_cast<int>(info.ssi_signo);
        }
    }
    return 0;
}

void StopSignals::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

}  // namespace kvt::logger
