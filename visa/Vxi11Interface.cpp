#include "visa/Vxi11Interface.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <rpc/rpc.h>
// after rpc.h, which it needs
#include <rpc/pmap_prot.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "visa/Deadline.h"
#include "visa/MdnsBrowser.h"
#include "visa/NetworkSearch.h"
#include "visa/PortmapperBroadcast.h"
#include "visa/RpcConnection.h"
#include "visa/Simulation.h"
#include "visa/Vxi11Session.h"
#include "visa/vxi11.h"

namespace kvt::visa {
namespace {

bool Resolve(const std::string& host, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    std::memcpy(&address, found->ai_addr, sizeof(address));
    freeaddrinfo(found);
    return true;
}

// The reply timeout of a call that belongs to opening: what is left of the
// open deadline, at least 1 ms (0 would not wait at all), and within what
// libtirpc's int of milliseconds can hold.
uint32_t CallTimeoutMs(RpcConnection::Clock::time_point deadline) {
    return static_cast<uint32_t>(std::max<uint64_t>(1, RemainingMs(deadline, INT_MAX / 2)));
}

// Asks the portmapper at `address` for the core channel's TCP port.
ViStatus CorePort(sockaddr_in address, RpcConnection::Clock::time_point deadline, uint16_t& port) {
    address.sin_port = htons(Vxi11Interface::PortmapperPort());
    RpcConnection portmapper;
    ViStatus status = portmapper.Connect(address, PMAPPROG, PMAPVERS, deadline);
    if (status < VI_SUCCESS) {
        return status;
    }
    pmap query{};
    query.pm_prog = DEVICE_CORE;
    query.pm_vers = DEVICE_CORE_VERSION;
    query.pm_prot = IPPROTO_TCP;
    u_long answer = 0;
    clnt_stat rpc =
        portmapper.Call(PMAPPROC_GETPORT, reinterpret_cast<xdrproc_t>(xdr_pmap), &query,
                        reinterpret_cast<xdrproc_t>(xdr_u_long), &answer, CallTimeoutMs(deadline));
    if (rpc != RPC_SUCCESS) {
        return rpc == RPC_TIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
    }
    if (answer == 0 || answer > 0xFFFF) {
        return VI_ERROR_RSRC_NFOUND;  // no VXI-11 server registered there
    }
    port = static_cast<uint16_t>(answer);
    return VI_SUCCESS;
}

}  // namespace

uint16_t Vxi11Interface::PortmapperPort() {
    const char* setting = std::getenv("KORVATA_VISA_PORTMAPPER_PORT");
    if (setting == nullptr || *setting == '\0') {
        return kPortmapperPort;
    }
    char* end = nullptr;
    unsigned long port = std::strtoul(setting, &end, 10);
    if (*end != '\0' || port == 0 || port > 0xFFFF) {
        return kPortmapperPort;
    }
    return static_cast<uint16_t>(port);
}

bool Vxi11Interface::Serves(const ResourceName& name) const {
    return name.kind == InterfaceKind::Tcpip && name.resourceClass == ResourceClass::Instr;
}

namespace {

// Whether a search may match instruments (the broadcast's and the browse's
// INSTR names), and raw sockets (the browse's SOCKET names).
bool MayMatchInstruments(const SearchExpression& search) {
    return search.MayMatch("TCPIP0::", "::inst0::INSTR");
}

bool MayMatchSockets(const SearchExpression& search) {
    return search.MayMatch("TCPIP0::", "::SOCKET");
}

std::vector<sockaddr_in> BroadcastTargets() {
    const uint16_t port = Vxi11Interface::PortmapperPort();
    std::vector<sockaddr_in> targets;
    auto add = [&](in_addr host) {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        target.sin_addr = host;
        targets.push_back(target);
    };
    for (in_addr broadcast : PortmapperBroadcast::BroadcastAddresses()) {
        add(broadcast);
    }
    if (port != Vxi11Interface::kPortmapperPort) {
        add(in_addr{htonl(INADDR_LOOPBACK)});
    }
    return targets;
}

}  // namespace

std::vector<std::string> Vxi11Interface::ListResources() {
    return NetworkSearch::Run({BroadcastTargets(), MdnsBrowser::Available()});
}

std::vector<std::string> Vxi11Interface::ListResourcesFor(const SearchExpression& search) {
    NetworkSearch::Plan plan;
    if (MayMatchInstruments(search)) {
        plan.broadcastTargets = BroadcastTargets();
    }
    plan.browse = MayFind(search) && MdnsBrowser::Available();
    return NetworkSearch::Run(plan);
}

bool Vxi11Interface::MayFind(const SearchExpression& search) const {
    // While the simulation is on, every TCPIP INSTR name opens the
    // simulated meter: an instrument found on the network could not be
    // reached, so the network is not searched at all.
    if (SimulationEnabled()) {
        return false;
    }
    return MayMatchInstruments(search) || (MayMatchSockets(search) && MdnsBrowser::Available());
}

ViStatus Vxi11Interface::Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                              std::unique_ptr<Session>& session) {
    RpcConnection::Clock::time_point deadline = DeadlineAfter(openTimeoutMs);
    sockaddr_in address{};
    if (!Resolve(name.host, address)) {
        return VI_ERROR_RSRC_NFOUND;
    }
    uint16_t port = 0;
    ViStatus status = CorePort(address, deadline, port);
    if (status < VI_SUCCESS) {
        return status;
    }
    address.sin_port = htons(port);
    return Vxi11Session::Open(name, address, deadline, session);
}

}  // namespace kvt::visa
