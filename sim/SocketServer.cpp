#include "sim/SocketServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kvt::sim {
namespace {

// Clients served at once; more wait in the listen backlog.
constexpr size_t kMaxClients = 16;
// A client that sends this much without a line feed is cut off rather than
// allowed to grow the server's memory without bound.
constexpr size_t kMaxMessage = size_t{4} << 20;
// How long a reply may wait for a client that does not read.
constexpr int kSendTimeoutMs = 10'000;

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

SocketServer::SocketServer(ServedInstrument& instrument) : m_instrument(instrument) {}

SocketServer::~SocketServer() {
    Stop();
}

bool SocketServer::Start(uint16_t port, std::string& error) {
    if (m_thread.joinable() || m_listenFd >= 0) {
        error = "the raw socket server is already running";
        return false;
    }
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    int fds[2] = {-1, -1};
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 16) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "raw socket port " + std::to_string(port) + ": " + std::strerror(errno);
        CloseFd(m_listenFd);
        return false;
    }
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    m_port = ntohs(address.sin_port);
    m_stopping = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void SocketServer::Stop() {
    if (m_thread.joinable()) {
        m_stopping = true;
        char byte = 0;
        while (::write(m_wakeWrite, &byte, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    CloseFd(m_listenFd);
    CloseFd(m_wakeRead);
    CloseFd(m_wakeWrite);
}

void SocketServer::Run() {
    std::vector<pollfd> polled;
    while (!m_stopping) {
        polled.clear();
        polled.push_back({m_wakeRead, POLLIN, 0});
        // While full, new clients wait in the backlog.
        polled.push_back({m_clients.size() < kMaxClients ? m_listenFd : -1, POLLIN, 0});
        for (const Client& client : m_clients) {
            polled.push_back({client.fd, POLLIN, 0});
        }
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (polled[0].revents != 0) {
            break;
        }
        // Serve the clients polled this round before accepting new ones, so
        // the indices still match.
        for (size_t i = m_clients.size(); i-- > 0;) {
            if (polled[i + 2].revents != 0 && !Serve(m_clients[i])) {
                ::close(m_clients[i].fd);
                m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if (polled[1].revents != 0) {
            Accept();
        }
    }
    for (Client& client : m_clients) {
        ::close(client.fd);
    }
    m_clients.clear();
}

void SocketServer::Accept() {
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return;  // the client gave up already, or a transient failure
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_clients.push_back(Client{fd, {}});
}

bool SocketServer::Serve(Client& client) {
    char chunk[65536];
    ssize_t n = ::recv(client.fd, chunk, sizeof chunk, 0);
    if (n < 0) {
        return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
    }
    if (n == 0) {
        return false;  // the client closed
    }
    client.input.append(chunk, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t end; (end = client.input.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view message(client.input.data() + start, end - start);
        if (!message.empty() && message.back() == '\r') {
            message.remove_suffix(1);
        }
        if (message.empty()) {
            continue;
        }
        m_instrument.Receive(message);
        if (!Answer(client)) {
            return false;
        }
    }
    client.input.erase(0, start);
    return client.input.size() <= kMaxMessage;
}

bool SocketServer::Answer(Client& client) {
    for (;;) {
        ServedInstrument::Output out = m_instrument.TakeResponse(
            [this](std::chrono::milliseconds time) { return Pause(time); });
        if (out.bytes.empty()) {
            return true;
        }
        if (out.dropMidway) {
            SendAll(client.fd, std::string_view(out.bytes).substr(0, out.bytes.size() / 2));
            return false;
        }
        if (!SendAll(client.fd, out.bytes)) {
            return false;
        }
    }
}

bool SocketServer::Pause(std::chrono::milliseconds time) {
    auto deadline = std::chrono::steady_clock::now() + time;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return !m_stopping;
        }
        // The wake pipe stays readable once Stop() has written to it.
        pollfd polled{m_wakeRead, POLLIN, 0};
        int ready =
            ::poll(&polled, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
        if (ready > 0 || m_stopping) {
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool SocketServer::SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        pollfd polled[2] = {{fd, POLLOUT, 0}, {m_wakeRead, POLLIN, 0}};
        int ready = ::poll(polled, 2, kSendTimeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || polled[1].revents != 0) {
            return false;  // the client stopped reading, or the server is stopping
        }
    }
    return true;
}

}  // namespace kvt::sim
