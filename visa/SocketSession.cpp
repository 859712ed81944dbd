#include "visa/SocketSession.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "visa/Deadline.h"
#include "visa/VisaString.h"

namespace kvt::visa {
namespace {

using Clock = DeadlineClock;

// Waits for `events` on fd until the deadline (or for ever when infinite).
// Returns the revents, 0 on timeout, -1 on a poll failure.
int WaitFor(int fd, short events, Clock::time_point deadline, bool infinite) {
    for (;;) {
        int waitMs = infinite ? -1 : static_cast<int>(RemainingMs(deadline, 1 << 30));
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, waitMs);
        if (n > 0) {
            return p.revents;
        }
        if (n == 0) {
            if (Expired(deadline)) {
                return 0;
            }
            continue;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

bool ConnectionGone(int error) {
    return error == ECONNRESET || error == EPIPE || error == ENOTCONN || error == ETIMEDOUT ||
           error == EHOSTUNREACH || error == ENETUNREACH;
}

// One connect attempt to one address, bounded by the deadline.
ViStatus ConnectOne(const addrinfo& address, Clock::time_point deadline, bool infinite, int& fd) {
    fd = -1;
    fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  address.ai_protocol);
    if (fd < 0) {
        return VI_ERROR_SYSTEM_ERROR;
    }
    int error = 0;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS || error == EINTR) {
            int ready = WaitFor(fd, POLLOUT, deadline, infinite);
            if (ready == 0) {
                ::close(fd);
                fd = -1;
                return VI_ERROR_TMO;
            }
            socklen_t length = sizeof error;
            if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
        }
    }
    if (error != 0) {
        ::close(fd);
        fd = -1;
        return VI_ERROR_RSRC_NFOUND;
    }
    // Commands are short: send them at once rather than coalescing.
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return VI_SUCCESS;
}

}  // namespace

ViStatus SocketSession::Connect(const std::string& resourceName, unsigned board,
                                const std::string& host, uint16_t port, ViUInt32 timeoutMs,
                                std::unique_ptr<Session>& session) {
    if (port == 0 || host.empty()) {
        return VI_ERROR_RSRC_NFOUND;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* addresses = nullptr;
    std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses) != 0) {
        return VI_ERROR_RSRC_NFOUND;
    }
    Clock::time_point deadline = DeadlineAfter(timeoutMs);
    bool infinite = IsInfinite(deadline);
    ViStatus status = VI_ERROR_RSRC_NFOUND;
    int fd = -1;
    char address[INET_ADDRSTRLEN] = "";
    for (addrinfo* a = addresses; a != nullptr; a = a->ai_next) {
        status = ConnectOne(*a, deadline, infinite, fd);
        if (status == VI_SUCCESS) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            ::inet_ntop(AF_INET, &in->sin_addr, address, sizeof address);
        }
        if (status == VI_SUCCESS || status == VI_ERROR_TMO) {
            break;
        }
    }
    ::freeaddrinfo(addresses);
    if (status != VI_SUCCESS) {
        return status;
    }
    session = std::make_unique<SocketSession>(resourceName, board, fd, host, address, port);
    return VI_SUCCESS;
}

SocketSession::SocketSession(std::string resourceName, unsigned board, int fd, std::string host,
                             std::string address, uint16_t port)
    : Session(std::move(resourceName), VI_INTF_TCPIP, board),
      m_fd(fd),
      m_host(std::move(host)),
      m_address(std::move(address)),
      m_port(port) {
    // A raw socket has no END: the line feed ends a message.
    MutableAttributes().termCharEnabled = true;
    MutableAttributes().termChar = '\n';
}

SocketSession::~SocketSession() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void SocketSession::AbortIo() {
    ::shutdown(m_fd, SHUT_RDWR);
}

ViStatus SocketSession::Write(const ViByte* data, ViUInt32 count, ViUInt32& written) {
    written = 0;
    if (m_connectionLost) {
        return VI_ERROR_CONN_LOST;
    }
    ViUInt32 timeoutMs = Attributes().timeoutMs;
    Clock::time_point deadline = DeadlineAfter(timeoutMs);
    bool infinite = IsInfinite(deadline);
    while (written < count) {
        ssize_t n = ::send(m_fd, data + written, count - written, MSG_NOSIGNAL);
        if (n > 0) {
            written += static_cast<ViUInt32>(n);
            continue;
        }
        int error = errno;
        if (n < 0 && error == EINTR) {
            continue;
        }
        if (n < 0 && (error == EAGAIN || error == EWOULDBLOCK)) {
            int ready = WaitFor(m_fd, POLLOUT, deadline, infinite);
            if (ready == 0) {
                return VI_ERROR_TMO;
            }
            if (ready < 0) {
                return VI_ERROR_IO;
            }
            continue;  // writable, or an error that the next send reports
        }
        if (ConnectionGone(error)) {
            m_connectionLost = true;
            return VI_ERROR_CONN_LOST;
        }
        return VI_ERROR_IO;
    }
    return VI_SUCCESS;
}

ViStatus SocketSession::ReceiveMore(Clock::time_point deadline, bool infinite) {
    char chunk[65536];
    for (;;) {
        ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            m_pending.Append(std::string_view(chunk, static_cast<size_t>(n)), false);
            return VI_SUCCESS;
        }
        if (n == 0) {
            m_connectionLost = true;
            return VI_ERROR_CONN_LOST;
        }
        int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EAGAIN && error != EWOULDBLOCK) {
            if (ConnectionGone(error)) {
                m_connectionLost = true;
                return VI_ERROR_CONN_LOST;
            }
            return VI_ERROR_IO;
        }
        int ready = WaitFor(m_fd, POLLIN, deadline, infinite);
        if (ready == 0) {
            return VI_ERROR_TMO;
        }
        if (ready < 0) {
            return VI_ERROR_IO;
        }
    }
}

ViStatus SocketSession::Read(ViByte* data, ViUInt32 count, ViUInt32& received) {
    received = 0;
    const SessionAttributes& a = Attributes();
    Clock::time_point deadline = DeadlineAfter(a.timeoutMs);
    bool infinite = IsInfinite(deadline);
    while (!m_pending.CanComplete(count, a.termCharEnabled, a.termChar)) {
        if (m_connectionLost) {
            // Whatever arrived before the close is handed out with the error,
            // so the caller sees both the bytes and that the message is cut.
            if (!m_pending.Empty()) {
                m_pending.Take(data, count, false, 0, received);
            }
            return VI_ERROR_CONN_LOST;
        }
        ViStatus status = ReceiveMore(deadline, infinite);
        if (status == VI_ERROR_CONN_LOST) {
            continue;
        }
        if (status < VI_SUCCESS) {
            return status;
        }
    }
    return m_pending.Take(data, count, a.termCharEnabled, a.termChar, received);
}

ViStatus SocketSession::GetAttribute(ViAttr attribute, void* value) const {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    switch (attribute) {
        case VI_ATTR_TCPIP_PORT:
            *static_cast<ViUInt16*>(value) = m_port;
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_ADDR:
        case VI_ATTR_TCPIP_HOSTNAME:
            CopyVisaString(attribute == VI_ATTR_TCPIP_ADDR ? m_address : m_host, value);
            return VI_SUCCESS;
        default:
            return Session::GetAttribute(attribute, value);
    }
}

ViStatus SocketSession::SetAttribute(ViAttr attribute, ViAttrState value) {
    switch (attribute) {
        case VI_ATTR_TCPIP_PORT:
        case VI_ATTR_TCPIP_ADDR:
        case VI_ATTR_TCPIP_HOSTNAME:
            return VI_ERROR_ATTR_READONLY;
        default:
            return Session::SetAttribute(attribute, value);
    }
}

ViStatus SocketSession::SendCommand(const char* command) {
    ViUInt32 written = 0;
    return Write(reinterpret_cast<const ViByte*>(command),
                 static_cast<ViUInt32>(std::strlen(command)), written);
}

ViStatus SocketSession::Clear() {
    if (m_connectionLost) {
        return VI_ERROR_CONN_LOST;
    }
    m_pending.Clear();
    // What already arrived belongs to replies the caller gives up on.
    char chunk[65536];
    ssize_t n = 0;
    while ((n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT)) > 0 || (n < 0 && errno == EINTR)) {
    }
    if (n == 0) {
        m_connectionLost = true;
        return VI_ERROR_CONN_LOST;
    }
    if (Attributes().ioProtocol == VI_PROT_4882_STRS) {
        return SendCommand("*CLS\n");
    }
    return VI_SUCCESS;
}

ViStatus SocketSession::ReadStatusByte(ViUInt16& status) {
    status = 0;
    if (Attributes().ioProtocol != VI_PROT_4882_STRS) {
        return VI_ERROR_NSUP_OPER;
    }
    return QueryStatusByte(status);
}

ViStatus SocketSession::AssertTrigger() {
    if (Attributes().ioProtocol != VI_PROT_4882_STRS) {
        return VI_ERROR_NSUP_OPER;
    }
    return SendCommand("*TRG\n");
}

}  // namespace kvt::visa
