#include "sim/Portmapper.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <rpc/rpcb_clnt.h>

#include <cerrno>
#include <cstring>

namespace kvt::sim {
namespace {

constexpr uint32_t kPortmapProgram = 100000;
constexpr uint32_t kCall = 0;
constexpr uint32_t kReply = 1;
constexpr uint32_t kAccepted = 0;
constexpr uint32_t kDenied = 1;
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kProgUnavail = 1;
constexpr uint32_t kProgMismatch = 2;
constexpr uint32_t kProcUnavail = 3;
constexpr uint32_t kGarbageArgs = 4;
// Portmap version 2 procedures; rpcbind versions 3 and 4 use the same
// numbers for NULL and GETADDR, and 9 for GETVERSADDR (version 4).
constexpr uint32_t kProcNull = 0;
constexpr uint32_t kProcSet = 1;
constexpr uint32_t kProcUnset = 2;
constexpr uint32_t kProcGetport = 3;
constexpr uint32_t kProcDump = 4;
constexpr uint32_t kProcGetversaddr = 9;
constexpr size_t kMaxRecord = 64 * 1024;

// Reads XDR items from a received message, failing softly past its end.
struct XdrIn {
    std::string_view bytes;
    size_t at = 0;
    bool ok = true;

    uint32_t U32() {
        if (bytes.size() - at < 4) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        at += 4;
        return ntohl(v);
    }
    std::string_view Opaque(size_t limit) {
        uint32_t n = U32();
        size_t padded = (size_t{n} + 3) & ~size_t{3};
        if (!ok || n > limit || bytes.size() - at < padded) {
            ok = false;
            return {};
        }
        std::string_view v = bytes.substr(at, n);
        at += padded;
        return v;
    }
};

void PutU32(std::string& out, uint32_t value) {
    uint32_t v = htonl(value);
    out.append(reinterpret_cast<const char*>(&v), 4);
}

void PutString(std::string& out, std::string_view text) {
    PutU32(out, static_cast<uint32_t>(text.size()));
    out.append(text);
    out.append((4 - text.size() % 4) % 4, '\0');
}

std::string UniversalAddress(const std::string& host, uint16_t port) {
    return host + "." + std::to_string(port >> 8) + "." + std::to_string(port & 0xFF);
}

uint32_t ProtocolOfNetid(std::string_view netid) {
    if (netid == "tcp") {
        return IPPROTO_TCP;
    }
    if (netid == "udp") {
        return IPPROTO_UDP;
    }
    return 0;  // IPv6 and local transports are not served
}

std::string DottedAddress(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text));
    return text;
}

// The local address a reply to `peer` leaves from, as the peer reaches us.
std::string LocalAddressFor(const sockaddr_in& peer) {
    int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    std::string result = "127.0.0.1";
    if (probe < 0) {
        return result;
    }
    sockaddr_in local{};
    socklen_t length = sizeof(local);
    if (::connect(probe, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        result = DottedAddress(local);
    }
    ::close(probe);
    return result;
}

bool SystemRpcbindAnswers() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(Portmapper::kStandardPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof(error);
        connected = ::poll(&p, 1, 1000) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    ::close(fd);
    return connected;
}

int BindSocket(int type, uint16_t port, std::string& error) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("portmapper socket: ") + std::strerror(errno);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 16) != 0)) {
        error = "portmapper port " + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) == 1) {
                continue;
            }
        }
        if (n <= 0) {
            return false;  // a client that does not read its replies is dropped
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Registers with the system rpcbind the way pmap_set() would, without its
// leak of the address it converts.
bool SystemRegister(uint32_t program, uint32_t version, uint16_t port) {
    netconfig* tcp = getnetconfigent("tcp");
    if (tcp == nullptr) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    netbuf buffer{};
    buffer.buf = &address;
    buffer.len = sizeof(address);
    buffer.maxlen = sizeof(address);
    bool ok = rpcb_set(program, version, tcp, &buffer) != 0;
    freenetconfigent(tcp);
    return ok;
}

}  // namespace

Portmapper::~Portmapper() {
    Stop();
}

bool Portmapper::Start(std::optional<uint16_t> port, std::string& error) {
    Stop();
    m_stopping = false;
    m_systemRpcbind = false;
    if (!port && SystemRpcbindAnswers()) {
        m_systemRpcbind = true;
        m_port = 0;
        return true;
    }
    return StartBuiltIn(port.value_or(kStandardPort), error);
}

bool Portmapper::StartBuiltIn(uint16_t port, std::string& error) {
    m_tcpFd = BindSocket(SOCK_STREAM, port, error);
    if (m_tcpFd < 0) {
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    ::getsockname(m_tcpFd, reinterpret_cast<sockaddr*>(&bound), &length);
    m_port = ntohs(bound.sin_port);
    m_udpFd = BindSocket(SOCK_DGRAM, m_port, error);
    int wake[2] = {-1, -1};
    if (m_udpFd < 0 || ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error.empty()) {
            error = std::string("portmapper pipe: ") + std::strerror(errno);
        }
        Stop();
        return false;
    }
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mappings.push_back({kPortmapProgram, 2, IPPROTO_TCP, m_port});
        m_mappings.push_back({kPortmapProgram, 2, IPPROTO_UDP, m_port});
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool Portmapper::Register(uint32_t program, uint32_t version, uint16_t tcpPort,
                          std::string& error) {
    if (m_systemRpcbind) {
        rpcb_unset(program, version, nullptr);  // a stale entry of an earlier run
        if (!SystemRegister(program, version, tcpPort)) {
            error = "rpcbind refused to register program " + std::to_string(program);
            return false;
        }
        m_systemRegistered.push_back({program, version, IPPROTO_TCP, tcpPort});
        return true;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mappings.push_back({program, version, IPPROTO_TCP, tcpPort});
    return true;
}

void Portmapper::Stop() {
    for (const Mapping& m : m_systemRegistered) {
        rpcb_unset(m.program, m.version, nullptr);
    }
    m_systemRegistered.clear();
    if (m_thread.joinable()) {
        m_stopping = true;
        char byte = 0;
        [[maybe_unused]] ssize_t n = ::write(m_wakeWrite, &byte, 1);
        m_thread.join();
    }
    for (Client& c : m_clients) {
        ::close(c.fd);
    }
    m_clients.clear();
    for (int* fd : {&m_tcpFd, &m_udpFd, &m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mappings.clear();
}

std::vector<Portmapper::Mapping> Portmapper::Mappings() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mappings;
}

void Portmapper::Run() {
    while (!m_stopping) {
        std::vector<pollfd> fds{
            {m_wakeRead, POLLIN, 0}, {m_tcpFd, POLLIN, 0}, {m_udpFd, POLLIN, 0}};
        for (const Client& c : m_clients) {
            fds.push_back({c.fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        // Clients first: accepting may grow m_clients past the polled ones.
        for (size_t i = m_clients.size(); i-- > 0;) {
            if (fds[3 + i].revents != 0 && !ServeClient(m_clients[i])) {
                ::close(m_clients[i].fd);
                m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if (fds[2].revents != 0) {
            ServeDatagram();
        }
        if (fds[1].revents != 0) {
            AcceptClient();
        }
    }
}

void Portmapper::AcceptClient() {
    int fd = ::accept4(m_tcpFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
        m_clients.push_back({fd, {}, {}});
    }
}

bool Portmapper::ServeClient(Client& client) {
    char buffer[4096];
    ssize_t n = ::recv(client.fd, buffer, sizeof(buffer), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    if (n <= 0) {
        return false;
    }
    client.input.append(buffer, static_cast<size_t>(n));
    // Record marking: a 4-byte header per fragment, top bit on the last.
    while (client.input.size() >= 4) {
        uint32_t header = 0;
        std::memcpy(&header, client.input.data(), 4);
        header = ntohl(header);
        size_t length = header & 0x7FFFFFFFu;
        if (length + client.record.size() > kMaxRecord) {
            return false;
        }
        if (client.input.size() < 4 + length) {
            break;
        }
        client.record.append(client.input, 4, length);
        client.input.erase(0, 4 + length);
        if ((header & 0x80000000u) == 0) {
            continue;
        }
        sockaddr_in local{};
        socklen_t size = sizeof(local);
        ::getsockname(client.fd, reinterpret_cast<sockaddr*>(&local), &size);
        std::string reply = Answer(client.record, DottedAddress(local));
        client.record.clear();
        if (reply.empty()) {
            continue;
        }
        std::string framed;
        PutU32(framed, 0x80000000u | static_cast<uint32_t>(reply.size()));
        framed += reply;
        if (!SendAll(client.fd, framed)) {
            return false;
        }
    }
    return true;
}

void Portmapper::ServeDatagram() {
    char buffer[kMaxRecord];
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    ssize_t n =
        ::recvfrom(m_udpFd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&peer), &length);
    if (n <= 0) {
        return;
    }
    std::string reply =
        Answer(std::string_view(buffer, static_cast<size_t>(n)), LocalAddressFor(peer));
    if (!reply.empty()) {
        ::sendto(m_udpFd, reply.data(), reply.size(), MSG_NOSIGNAL,
                 reinterpret_cast<sockaddr*>(&peer), length);
    }
}

std::string Portmapper::Answer(std::string_view call, const std::string& localAddress) {
    XdrIn in{call};
    uint32_t xid = in.U32();
    if (in.U32() != kCall || !in.ok) {
        return {};
    }
    uint32_t rpcVersion = in.U32();
    uint32_t program = in.U32();
    uint32_t version = in.U32();
    uint32_t procedure = in.U32();
    for (int i = 0; i < 2; ++i) {  // credentials and verifier, not checked
        in.U32();
        in.Opaque(400);
    }
    if (!in.ok) {
        return {};
    }
    std::string out;
    PutU32(out, xid);
    PutU32(out, kReply);
    if (rpcVersion != 2) {
        PutU32(out, kDenied);
        PutU32(out, 0);  // RPC_MISMATCH
        PutU32(out, 2);
        PutU32(out, 2);
        return out;
    }
    PutU32(out, kAccepted);
    PutU32(out, 0);  // verifier: AUTH_NONE, empty
    PutU32(out, 0);
    if (program != kPortmapProgram) {
        PutU32(out, kProgUnavail);
        return out;
    }
    if (version < 2 || version > 4) {
        PutU32(out, kProgMismatch);
        PutU32(out, 2);
        PutU32(out, 4);
        return out;
    }
    std::string result;
    std::vector<Mapping> mappings = Mappings();
    if (procedure == kProcNull) {
    } else if (procedure == kProcSet || procedure == kProcUnset) {
        PutU32(result, 0);  // FALSE: nobody registers here over the network
    } else if (version == 2 && procedure == kProcGetport) {
        uint32_t wantProgram = in.U32();
        uint32_t wantVersion = in.U32();
        uint32_t wantProtocol = in.U32();
        in.U32();
        uint32_t port = 0;
        for (const Mapping& m : mappings) {
            if (m.program == wantProgram && m.version == wantVersion &&
                m.protocol == wantProtocol) {
                port = m.port;
            }
        }
        PutU32(result, port);
    } else if (version == 2 && procedure == kProcDump) {
        for (const Mapping& m : mappings) {
            PutU32(result, 1);
            PutU32(result, m.program);
            PutU32(result, m.version);
            PutU32(result, m.protocol);
            PutU32(result, m.port);
        }
        PutU32(result, 0);
    } else if (version >= 3 &&
               (procedure == kProcGetport || (version == 4 && procedure == kProcGetversaddr))) {
        // RPCBPROC_GETADDR / GETVERSADDR: answers a universal address.
        uint32_t wantProgram = in.U32();
        uint32_t wantVersion = in.U32();
        uint32_t wantProtocol = ProtocolOfNetid(in.Opaque(64));
        in.Opaque(256);  // r_addr
        in.Opaque(256);  // r_owner
        std::string address;
        for (const Mapping& m : mappings) {
            if (m.program == wantProgram && m.version == wantVersion &&
                m.protocol == wantProtocol && wantProtocol != 0) {
                address = UniversalAddress(localAddress, m.port);
            }
        }
        PutString(result, address);
    } else {
        PutU32(out, kProcUnavail);
        return out;
    }
    if (!in.ok) {
        PutU32(out, kGarbageArgs);
        return out;
    }
    PutU32(out, kSuccess);
    return out + result;
}

}  // namespace kvt::sim
