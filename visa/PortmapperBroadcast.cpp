#include "visa/PortmapperBroadcast.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "visa/vxi11.h"

namespace kvt::visa {
namespace {

constexpr uint32_t kPortmapProgram = 100000;
constexpr uint32_t kPortmapVersion = 2;
constexpr uint32_t kProcGetport = 3;
constexpr uint32_t kCall = 0;
constexpr uint32_t kReply = 1;
constexpr uint32_t kAccepted = 0;
constexpr uint32_t kSuccess = 0;
constexpr size_t kMaxVerifier = 400;

void PutU32(std::string& out, uint32_t value) {
    uint32_t v = htonl(value);
    out.append(reinterpret_cast<const char*>(&v), 4);
}

// The RPC call message (RFC 5531) asking for the core channel's TCP port.
std::string GetportCall(uint32_t xid) {
    std::string out;
    for (uint32_t word :
         {xid, kCall, 2u, kPortmapProgram, kPortmapVersion, kProcGetport, 0u,
          0u,      // credentials: AUTH_NONE, empty
          0u, 0u,  // verifier: AUTH_NONE, empty
          static_cast<uint32_t>(DEVICE_CORE), static_cast<uint32_t>(DEVICE_CORE_VERSION),
          static_cast<uint32_t>(IPPROTO_TCP), 0u}) {
        PutU32(out, word);
    }
    return out;
}

// The port an answer to our call carries; 0 when it is not such an answer,
// was refused, or names no port.
uint32_t PortOfReply(std::string_view reply, uint32_t xid) {
    size_t at = 0;
    bool ok = true;
    auto next = [&]() -> uint32_t {
        if (reply.size() - at < 4) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        std::memcpy(&v, reply.data() + at, 4);
        at += 4;
        return ntohl(v);
    };
    if (next() != xid || next() != kReply || next() != kAccepted) {
        return 0;
    }
    next();  // verifier flavour
    uint32_t verifierLength = next();
    size_t padded = (size_t{verifierLength} + 3) & ~size_t{3};
    if (!ok || verifierLength > kMaxVerifier || reply.size() - at < padded) {
        return 0;
    }
    at += padded;
    if (next() != kSuccess) {
        return 0;
    }
    uint32_t port = next();
    return ok && port <= 0xFFFF ? port : 0;
}

uint32_t NewXid() {
    std::random_device random;
    return random();
}

}  // namespace

std::vector<in_addr> PortmapperBroadcast::BroadcastAddresses() {
    std::vector<in_addr> addresses;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return addresses;
    }
    for (ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
        constexpr unsigned kWanted = IFF_UP | IFF_BROADCAST;
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET ||
            (i->ifa_flags & kWanted) != kWanted || (i->ifa_flags & IFF_LOOPBACK) != 0 ||
            i->ifa_broadaddr == nullptr) {
            continue;
        }
        in_addr broadcast = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr;
        bool known = std::any_of(addresses.begin(), addresses.end(),
                                 [&](in_addr a) { return a.s_addr == broadcast.s_addr; });
        if (!known && broadcast.s_addr != htonl(INADDR_ANY)) {
            addresses.push_back(broadcast);
        }
    }
    ::freeifaddrs(interfaces);
    return addresses;
}

std::vector<in_addr> PortmapperBroadcast::Search(const std::vector<sockaddr_in>& targets,
                                                 std::chrono::milliseconds window) {
    std::vector<in_addr> found;
    if (targets.empty()) {
        return found;
    }
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return found;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof(one));
    const uint32_t xid = NewXid();
    const std::string call = GetportCall(xid);
    auto sendAll = [&] {
        for (const sockaddr_in& target : targets) {
            // An unreachable target is one that answers nothing.
            ::sendto(fd, call.data(), call.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&target), sizeof(target));
        }
    };
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + window;
    Clock::time_point resend = start + window / 4;
    bool resent = false;
    std::set<uint32_t> answered;  // host byte order, for ascending order
    sendAll();
    for (;;) {
        Clock::time_point now = Clock::now();
        if (now >= deadline) {
            break;
        }
        if (!resent && now >= resend) {
            sendAll();
            resent = true;
        }
        Clock::time_point wake = resent ? deadline : std::min(resend, deadline);
        auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(1, waitMs)));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (;;) {
            char buffer[1024];
            sockaddr_in peer{};
            socklen_t length = sizeof(peer);
            ssize_t n = ::recvfrom(fd, buffer, sizeof(buffer), 0,
                                   reinterpret_cast<sockaddr*>(&peer), &length);
            if (n < 0) {
                break;  // nothing more queued (or an error report: skipped)
            }
            if (PortOfReply(std::string_view(buffer, static_cast<size_t>(n)), xid) != 0) {
                answered.insert(ntohl(peer.sin_addr.s_addr));
            }
        }
    }
    ::close(fd);
    for (uint32_t address : answered) {
        found.push_back(in_addr{htonl(address)});
    }
    return found;
}

}  // namespace kvt::visa
