#include "sim/Vxi11Server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <vector>

#include "visa/XdrProc.h"
#include "visa/vxi11.h"

namespace kvt::sim {
namespace {

using visa::Xdr;

// The running server, which the RPC dispatch functions serve.
std::atomic<Vxi11Server*> activeServer{nullptr};

// Whether the client has closed (or shut down) the connection on `fd`.
bool PeerClosed(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// The no-lock-wait quirk: a call that asks to wait for a lock is refused.
long RefusedLockWait(const Vxi11Server& server, long flags, u_long lockTimeout) {
    bool waits = (flags & VXI11_FLAG_WAITLOCK) != 0 || lockTimeout != 0;
    return server.Quirks().refuseLockWait && waits ? VXI11_ERR_NOT_SUPPORTED : VXI11_ERR_NONE;
}

// Sends all of `bytes`, blocking; false when the connection failed.
bool SendAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The fragments quirk's fragment sizes: two small ones that split XDR
// units, then large ones.
size_t FragmentSize(size_t index) {
    constexpr std::array<size_t, 2> kFirst = {5, 11};
    return index < kFirst.size() ? kFirst[index] : 4093;
}

// Decodes the arguments, lets `handle` fill the result, sends it.
template <typename Args, typename Result, typename Handle>
void Serve(SVCXPRT* xprt, xdrproc_t argsXdr, xdrproc_t resultXdr, Handle handle) {
    Args args{};
    if (!svc_getargs(xprt, argsXdr, &args)) {
        svcerr_decode(xprt);
        return;
    }
    Result result{};
    handle(args, result);
    svc_sendreply(xprt, resultXdr, &result);
    svc_freeargs(xprt, argsXdr, &args);
}

void ServeRead(Vxi11Server& server, SVCXPRT* xprt) {
    Device_ReadParms args{};
    if (!svc_getargs(xprt, Xdr(xdr_Device_ReadParms), &args)) {
        svcerr_decode(xprt);
        return;
    }
    Vxi11Server::ReadResult read;
    Device_ReadResp result{};
    result.error = RefusedLockWait(server, args.flags, args.lock_timeout);
    if (result.error == VXI11_ERR_NONE) {
        result.error = server.Read(args.lid, args.requestSize, args.io_timeout,
                                   (args.flags & VXI11_FLAG_TERMCHRSET) != 0, args.termChar, read);
    }
    result.reason = read.reason;
    result.data.data_len = static_cast<u_int>(read.data.size());
    result.data.data_val = read.data.data();
    // A dropped connection sends what it has (if anything) and then closes;
    // the thread's poll loop sees the close and destroys the transport.
    if (!read.dropConnection || !read.data.empty()) {
        svc_sendreply(xprt, Xdr(xdr_Device_ReadResp), &result);
    }
    if (read.dropConnection) {
        ::shutdown(xprt->xp_fd, SHUT_RDWR);
    }
    svc_freeargs(xprt, Xdr(xdr_Device_ReadParms), &args);
}

void ServeGeneric(SVCXPRT* xprt, long (Vxi11Server::*procedure)(long), Vxi11Server& server) {
    Serve<Device_GenericParms, Device_Error>(xprt, Xdr(xdr_Device_GenericParms),
                                             Xdr(xdr_Device_Error),
                                             [&](Device_GenericParms& in, Device_Error& out) {
                                                 out.error = (server.*procedure)(in.lid);
                                             });
}

void ServeByLink(SVCXPRT* xprt, long (Vxi11Server::*procedure)(long), Vxi11Server& server) {
    Serve<Device_Link, Device_Error>(
        xprt, Xdr(xdr_Device_Link), Xdr(xdr_Device_Error),
        [&](Device_Link& in, Device_Error& out) { out.error = (server.*procedure)(in); });
}

void CoreDispatch(svc_req* request, SVCXPRT* xprt) {
    Vxi11Server* server = activeServer.load();
    if (server == nullptr) {
        svcerr_systemerr(xprt);
        return;
    }
    switch (request->rq_proc) {
        case NULLPROC:
            svc_sendreply(xprt, Xdr(xdr_void), nullptr);
            return;
        case create_link:
            Serve<Create_LinkParms, Create_LinkResp>(
                xprt, Xdr(xdr_Create_LinkParms), Xdr(xdr_Create_LinkResp),
                [&](Create_LinkParms& in, Create_LinkResp& out) {
                    long link = 0;
                    out.error = RefusedLockWait(*server, 0, in.lock_timeout);
                    if (out.error == VXI11_ERR_NONE) {
                        out.error = server->CreateLink(xprt->xp_fd, in.lockDevice != 0, link);
                    }
                    out.lid = link;
                    out.abortPort = server->AbortPort();
                    out.maxRecvSize = server->MaxRecvSize();
                });
            return;
        case device_write:
            Serve<Device_WriteParms, Device_WriteResp>(
                xprt, Xdr(xdr_Device_WriteParms), Xdr(xdr_Device_WriteResp),
                [&](Device_WriteParms& in, Device_WriteResp& out) {
                    std::string_view data(in.data.data_val, in.data.data_len);
                    out.error = RefusedLockWait(*server, in.flags, in.lock_timeout);
                    if (out.error == VXI11_ERR_NONE) {
                        out.error = server->Write(in.lid, (in.flags & VXI11_FLAG_END) != 0, data);
                    }
                    out.size = out.error == VXI11_ERR_NONE ? in.data.data_len : 0;
                });
            return;
        case device_read:
            ServeRead(*server, xprt);
            return;
        case device_readstb:
            Serve<Device_GenericParms, Device_ReadStbResp>(
                xprt, Xdr(xdr_Device_GenericParms), Xdr(xdr_Device_ReadStbResp),
                [&](Device_GenericParms& in, Device_ReadStbResp& out) {
                    uint8_t stb = 0;
                    out.error = server->ReadStatusByte(in.lid, stb);
                    out.stb = stb;
                });
            return;
        case device_clear:
            ServeGeneric(xprt, &Vxi11Server::Clear, *server);
            return;
        case device_trigger:
        case device_remote:
        case device_local:
            ServeGeneric(xprt, &Vxi11Server::Generic, *server);
            return;
        case device_lock:
            Serve<Device_LockParms, Device_Error>(
                xprt, Xdr(xdr_Device_LockParms), Xdr(xdr_Device_Error),
                [&](Device_LockParms& in, Device_Error& out) { out.error = server->Lock(in.lid); });
            return;
        case device_unlock:
            ServeByLink(xprt, &Vxi11Server::Unlock, *server);
            return;
        case destroy_link:
            ServeByLink(xprt, &Vxi11Server::DestroyLink, *server);
            return;
        case device_enable_srq:
            Serve<Device_EnableSrqParms, Device_Error>(
                xprt, Xdr(xdr_Device_EnableSrqParms), Xdr(xdr_Device_Error),
                [](Device_EnableSrqParms&, Device_Error& out) {
                    out.error = VXI11_ERR_NOT_SUPPORTED;
                });
            return;
        case device_docmd:
            Serve<Device_DocmdParms, Device_DocmdResp>(
                xprt, Xdr(xdr_Device_DocmdParms), Xdr(xdr_Device_DocmdResp),
                [](Device_DocmdParms&, Device_DocmdResp& out) {
                    out.error = VXI11_ERR_NOT_SUPPORTED;
                });
            return;
        case create_intr_chan:
            Serve<Device_RemoteFunc, Device_Error>(
                xprt, Xdr(xdr_Device_RemoteFunc), Xdr(xdr_Device_Error),
                [](Device_RemoteFunc&, Device_Error& out) { out.error = VXI11_ERR_NOT_SUPPORTED; });
            return;
        case destroy_intr_chan: {
            Device_Error out{VXI11_ERR_NO_CHANNEL};
            svc_sendreply(xprt, Xdr(xdr_Device_Error), &out);
            return;
        }
        default:
            svcerr_noproc(xprt);
            return;
    }
}

void AbortDispatch(svc_req* request, SVCXPRT* xprt) {
    Vxi11Server* server = activeServer.load();
    if (server == nullptr) {
        svcerr_systemerr(xprt);
    } else if (request->rq_proc == NULLPROC) {
        svc_sendreply(xprt, Xdr(xdr_void), nullptr);
    } else if (request->rq_proc == device_abort) {
        ServeByLink(xprt, &Vxi11Server::Abort, *server);
    } else {
        svcerr_noproc(xprt);
    }
}

int ListenEphemeral(uint16_t& port, std::string& error) {
    // Non-blocking: the server thread accepts after poll() and must not
    // hang when the client has given up meanwhile.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = std::string("VXI-11 listening socket: ") + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

Vxi11Server::Vxi11Server(ServedInstrument& instrument, QuirkSettings quirks)
    : m_instrument(instrument), m_quirks(quirks) {}

Vxi11Server::~Vxi11Server() {
    Stop();
}

bool Vxi11Server::Start(std::optional<uint16_t> portmapperPort, std::string& error) {
    if (m_thread.joinable()) {
        error = "the VXI-11 server is already running";
        return false;
    }
    Vxi11Server* none = nullptr;
    if (!activeServer.compare_exchange_strong(none, this)) {
        error = "another VXI-11 server runs in this process";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_stopping = false;
    }
    int coreFd = ListenEphemeral(m_corePort, error);
    int abortFd = coreFd < 0 ? -1 : ListenEphemeral(m_abortPort, error);
    int wake[2] = {-1, -1};
    if (abortFd < 0 || ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error.empty()) {
            error = std::string("VXI-11 server pipe: ") + std::strerror(errno);
        }
        for (int fd : {coreFd, abortFd}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        activeServer = nullptr;
        return false;
    }
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    std::promise<bool> ready;
    std::future<bool> started = ready.get_future();
    m_thread = std::thread([this, coreFd, abortFd, &ready] {
        // A client that went away must not end the process with SIGPIPE.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        SVCXPRT* core = svc_vc_create(coreFd, 0, 0);
        SVCXPRT* abort = svc_vc_create(abortFd, 0, 0);
        // Protocol 0: svc_register does not touch the system portmapper.
        bool ok = core != nullptr && abort != nullptr &&
                  svc_register(core, DEVICE_CORE, DEVICE_CORE_VERSION, CoreDispatch, 0) &&
                  svc_register(abort, DEVICE_ASYNC, DEVICE_ASYNC_VERSION, AbortDispatch, 0);
        if (!ok) {
            for (auto [xprt, fd] : {std::pair{core, coreFd}, std::pair{abort, abortFd}}) {
                if (xprt != nullptr) {
                    svc_destroy(xprt);
                } else {
                    ::close(fd);
                }
            }
            ready.set_value(false);
            return;
        }
        ready.set_value(true);
        Run(core, abort);
    });
    if (!started.get()) {
        error = "cannot create the VXI-11 RPC transports";
        Stop();
        return false;
    }
    if (!m_portmapper.Start(portmapperPort, error) ||
        !m_portmapper.Register(DEVICE_CORE, DEVICE_CORE_VERSION, m_corePort, error)) {
        Stop();
        return false;
    }
    return true;
}

void Vxi11Server::Stop() {
    m_portmapper.Stop();
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_stopMutex);
            m_stopping = true;
        }
        m_stopChanged.notify_all();
        char byte = 0;
        [[maybe_unused]] ssize_t n = ::write(m_wakeWrite, &byte, 1);
        m_thread.join();
    }
    for (int* fd : {&m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    Vxi11Server* self = this;
    activeServer.compare_exchange_strong(self, nullptr);
}

void Vxi11Server::Run(SVCXPRT* core, SVCXPRT* abort) {
    for (;;) {
        std::vector<pollfd> fds(svc_pollfd, svc_pollfd + svc_max_pollfd);
        fds.push_back({m_wakeRead, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds.back().revents != 0) {
            break;
        }
        fds.pop_back();
        // The listeners' connections are taken here rather than by
        // libtirpc, so that each transport can be set up before its first call.
        for (pollfd& p : fds) {
            if (p.revents != 0 && (p.fd == core->xp_fd || p.fd == abort->xp_fd)) {
                Accept(p.fd);
                p.revents = 0;
            }
        }
        int ready = static_cast<int>(
            std::count_if(fds.begin(), fds.end(), [](const pollfd& p) { return p.revents != 0; }));
        if (ready > 0) {
            svc_getreq_poll(fds.data(), ready);
        }
        ForgetClosedLinks();
    }
    // Close every client connection: shut down, let the transports see the
    // end of their streams and destroy themselves, then the listeners.
    for (int round = 0; round < 3; ++round) {
        std::vector<pollfd> fds(svc_pollfd, svc_pollfd + svc_max_pollfd);
        int ready = 0;
        for (pollfd& p : fds) {
            p.revents = 0;
            if (p.fd >= 0 && p.fd != core->xp_fd && p.fd != abort->xp_fd) {
                ::shutdown(p.fd, SHUT_RDWR);
                p.revents = POLLIN;
                ++ready;
            }
        }
        if (ready == 0) {
            break;
        }
        svc_getreq_poll(fds.data(), ready);
    }
    svc_destroy(core);
    svc_destroy(abort);
    m_links.clear();
    m_lockHolder.reset();
    m_xids.clear();
    LinksChanged();
}

void Vxi11Server::Accept(int listenFd) {
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (m_quirks.fragments) {
        // Each write leaves at once as a segment of its own.
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    SVCXPRT* xprt = svc_fd_create(fd, 0, 0);
    if (xprt == nullptr) {
        ::close(fd);
        return;
    }
    if (m_quirks.fragments) {
        if (m_plainOps == nullptr) {
            m_plainOps = xprt->xp_ops;
            m_fragmentOps = *m_plainOps;
            m_fragmentOps.xp_recv = ReceiveKeepingXid;
            m_fragmentOps.xp_reply = ReplyInFragments;
            m_fragmentOps.xp_destroy = DestroyForgettingXid;
        }
        xprt->xp_ops = &m_fragmentOps;
    }
}

bool_t Vxi11Server::ReceiveKeepingXid(SVCXPRT* xprt, rpc_msg* message) {
    Vxi11Server* server = activeServer.load();
    bool_t received = server->m_plainOps->xp_recv(xprt, message);
    if (received) {
        server->m_xids[xprt] = message->rm_xid;
    }
    return received;
}

void Vxi11Server::DestroyForgettingXid(SVCXPRT* xprt) {
    Vxi11Server* server = activeServer.load();
    server->m_xids.erase(xprt);
    server->m_plainOps->xp_destroy(xprt);
}

bool_t Vxi11Server::ReplyInFragments(SVCXPRT* xprt, rpc_msg* message) {
    Vxi11Server* server = activeServer.load();
    auto xid = server->m_xids.find(xprt);
    message->rm_xid = xid != server->m_xids.end() ? xid->second : 0;
    // The whole reply first (with AUTH_NONE the results follow the header
    // as they are), then the record in fragments.
    u_long size = xdr_sizeof(Xdr(xdr_replymsg), message);
    std::vector<char> record(size);
    XDR xdrs;
    xdrmem_create(&xdrs, record.data(), static_cast<u_int>(size), XDR_ENCODE);
    bool encoded = xdr_replymsg(&xdrs, message);
    size = xdr_getpos(&xdrs);
    xdr_destroy(&xdrs);
    if (!encoded) {
        return FALSE;
    }
    size_t sent = 0;
    for (size_t index = 0; sent < size; ++index) {
        size_t length = std::min(FragmentSize(index), size - sent);
        bool last = sent + length == size;
        uint32_t mark = htonl(static_cast<uint32_t>(length) | (last ? 0x80000000u : 0));
        if (!SendAll(xprt->xp_fd, reinterpret_cast<const char*>(&mark), sizeof mark) ||
            !SendAll(xprt->xp_fd, record.data() + sent, length)) {
            return FALSE;
        }
        sent += length;
    }
    return TRUE;
}

void Vxi11Server::ForgetClosedLinks() {
    if (m_quirks.oneLink) {
        return;  // links outlive their connections
    }
    std::vector<int> open;
    for (int i = 0; i < svc_max_pollfd; ++i) {
        if (svc_pollfd[i].fd >= 0) {
            open.push_back(svc_pollfd[i].fd);
        }
    }
    for (auto it = m_links.begin(); it != m_links.end();) {
        if (std::find(open.begin(), open.end(), it->second.connection) == open.end()) {
            if (m_lockHolder == it->first) {
                m_lockHolder.reset();
            }
            it = m_links.erase(it);
        } else {
            ++it;
        }
    }
    LinksChanged();
}

Vxi11Server::Link* Vxi11Server::Find(long link, long& error) {
    auto it = m_links.find(link);
    if (it == m_links.end()) {
        error = VXI11_ERR_INVALID_LINK;
        return nullptr;
    }
    if (m_lockHolder && *m_lockHolder != link && !ReleaseLockOfClosedConnection()) {
        error = VXI11_ERR_LOCKED;
        return nullptr;
    }
    error = VXI11_ERR_NONE;
    return &it->second;
}

bool Vxi11Server::ReleaseLockOfClosedConnection() {
    if (m_quirks.oneLink) {
        return false;  // the lock lives with its link, until destroy_link
    }
    auto holder = m_links.find(*m_lockHolder);
    if (holder != m_links.end()) {
        // The transport may not have seen the close yet (it is handled in
        // the same poll round as this request): ask the socket itself.
        if (!PeerClosed(holder->second.connection)) {
            return false;
        }
        m_links.erase(holder);
        LinksChanged();
    }
    m_lockHolder.reset();
    return true;
}

bool Vxi11Server::WaitForStop(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_stopMutex);
    return m_stopChanged.wait_for(lock, timeout, [this] { return m_stopping; });
}

long Vxi11Server::CreateLink(int connection, bool lockDevice, long& link) {
    if ((lockDevice && m_lockHolder) || (m_quirks.oneLink && !m_links.empty())) {
        return VXI11_ERR_LOCKED;
    }
    link = m_nextLink++;
    m_links[link].connection = connection;
    LinksChanged();
    if (lockDevice) {
        m_lockHolder = link;
    }
    return VXI11_ERR_NONE;
}

long Vxi11Server::DestroyLink(long link) {
    if (m_links.erase(link) == 0) {
        return VXI11_ERR_INVALID_LINK;
    }
    LinksChanged();
    if (m_lockHolder == link) {
        m_lockHolder.reset();
    }
    return VXI11_ERR_NONE;
}

long Vxi11Server::Write(long link, bool end, std::string_view data) {
    long error = VXI11_ERR_NONE;
    Link* l = Find(link, error);
    if (l == nullptr) {
        return error;
    }
    if (m_quirks.maxRecvSize != 0 && data.size() > m_quirks.maxRecvSize) {
        return VXI11_ERR_PARAMETER;  // more than create_link said it takes
    }
    // A new command abandons what is left of the last reply's end.
    l->endPending = false;
    if (l->input.size() + data.size() > kMaxMessage) {
        l->input.clear();
        return VXI11_ERR_OUT_OF_RESOURCES;
    }
    l->input.append(data);
    if (end) {
        std::string message = std::move(l->input);
        l->input.clear();
        m_instrument.Receive(message);
    }
    return VXI11_ERR_NONE;
}

long Vxi11Server::Read(long link, unsigned long requestSize, unsigned long ioTimeoutMs,
                       bool termCharSet, char termChar, ReadResult& result) {
    long error = VXI11_ERR_NONE;
    Link* l = Find(link, error);
    if (l == nullptr) {
        return error;
    }
    if (l->endPending) {
        l->endPending = false;
        result.reason = VXI11_REASON_END;
        return VXI11_ERR_NONE;
    }
    if (l->outputRead == l->output.size()) {
        l->output.clear();
        l->outputRead = 0;
        l->pieces = 0;
        l->emptyAnswered = false;
        // Another server (the raw socket) may queue a response meanwhile,
        // so look again now and then until io_timeout runs out, or until
        // the client has gone away (it gave up: an abort), so that the
        // other clients are served again.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ioTimeoutMs);
        // A delayed reply is waited for here too, so that Stop() cuts it short.
        auto pause = [this](std::chrono::milliseconds time) { return !WaitForStop(time); };
        ServedInstrument::Output out = m_instrument.TakeResponse(pause);
        while (out.bytes.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || WaitForStop(std::min(left, std::chrono::milliseconds(20)))) {
                return VXI11_ERR_IO_TIMEOUT;
            }
            if (PeerClosed(l->connection)) {
                return VXI11_ERR_ABORT;
            }
            out = m_instrument.TakeResponse(pause);
        }
        if (out.dropMidway) {
            l->output = out.bytes.substr(0, out.bytes.size() / 2);
            l->outputEnds = false;
            l->dropAfterOutput = true;
        } else {
            l->output = std::move(out.bytes);
            l->outputEnds = true;
        }
    }
    if (m_quirks.emptyReads && !l->emptyAnswered) {
        l->emptyAnswered = true;
        return VXI11_ERR_NONE;  // nothing, and no reason
    }
    l->emptyAnswered = false;
    // Only the part handed out is looked at: a long response read in many
    // pieces is neither copied nor searched again for each one.
    std::string_view rest = std::string_view(l->output).substr(l->outputRead);
    size_t n = std::min<size_t>(requestSize, rest.size());
    if (m_quirks.PiecesOn()) {
        n = std::min(n, QuirkSettings::kPieceSize);
    }
    if (termCharSet && !m_quirks.ignoreTermChar) {
        size_t at = rest.substr(0, n).find(termChar);
        if (at != std::string_view::npos) {
            n = at + 1;
            result.reason |= VXI11_REASON_CHR;
        }
    }
    const bool last = n == rest.size();
    if (last && l->outputEnds) {
        if (m_quirks.lateEnd) {
            l->endPending = true;
        } else {
            result.reason |= VXI11_REASON_END;
        }
    }
    if (n == requestSize) {
        result.reason |= VXI11_REASON_REQCNT;
    } else if (!last && result.reason == 0 && m_quirks.piecesWithReqcnt) {
        // A short piece before the last: REQCNT all the same, or, with
        // pieces-40-bare too, on every other piece only.
        if (!m_quirks.piecesBare || l->pieces % 2 == 0) {
            result.reason |= VXI11_REASON_REQCNT;
        }
    }
    ++l->pieces;
    result.data = std::string(rest.substr(0, n));
    l->outputRead += n;
    if (l->outputRead == l->output.size() && l->dropAfterOutput) {
        result.reason = 0;
        result.dropConnection = true;
        m_links.erase(link);
        LinksChanged();
        if (m_lockHolder == link) {
            m_lockHolder.reset();
        }
    }
    return VXI11_ERR_NONE;
}

long Vxi11Server::ReadStatusByte(long link, uint8_t& statusByte) {
    long error = VXI11_ERR_NONE;
    if (Find(link, error) != nullptr) {
        statusByte = m_instrument.StatusByte();
    }
    return error;
}

long Vxi11Server::Clear(long link) {
    long error = VXI11_ERR_NONE;
    Link* l = Find(link, error);
    if (l != nullptr) {
        l->input.clear();
        l->output.clear();
        l->outputRead = 0;
        l->dropAfterOutput = false;
        l->endPending = false;
        m_instrument.DeviceClear();
    }
    return error;
}

long Vxi11Server::Generic(long link) {
    long error = VXI11_ERR_NONE;
    Find(link, error);
    return error;
}

long Vxi11Server::Lock(long link) {
    if (m_links.find(link) == m_links.end()) {
        return VXI11_ERR_INVALID_LINK;
    }
    // One thread serves every link, so waiting for another link to let go
    // could never succeed: a held lock is reported at once.
    if (m_lockHolder && *m_lockHolder != link && !ReleaseLockOfClosedConnection()) {
        return VXI11_ERR_LOCKED;
    }
    m_lockHolder = link;
    return VXI11_ERR_NONE;
}

long Vxi11Server::Unlock(long link) {
    if (m_links.find(link) == m_links.end()) {
        return VXI11_ERR_INVALID_LINK;
    }
    if (m_lockHolder != link) {
        return VXI11_ERR_NO_LOCK;
    }
    m_lockHolder.reset();
    return VXI11_ERR_NONE;
}

long Vxi11Server::Abort(long link) {
    return m_links.find(link) != m_links.end() ? VXI11_ERR_NONE : VXI11_ERR_INVALID_LINK;
}

}  // namespace kvt::sim
