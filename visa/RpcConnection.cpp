#include "visa/RpcConnection.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "visa/Deadline.h"

namespace kvt::visa {
namespace {

// Blocks SIGPIPE in this thread for the duration of one call, and discards
// one raised meanwhile: libtirpc writes with write(), which raises it when
// the peer has closed the connection.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_alreadyPending = sigismember(&pending, SIGPIPE) == 1;
        m_blocked = pthread_sigmask(SIG_BLOCK, &pipe, &m_previous) == 0;
    }
    ~SigpipeGuard() {
        if (!m_blocked) {
            return;
        }
        if (!m_alreadyPending) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            sigset_t pending;
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                timespec zero{};
                while (sigtimedwait(&pipe, nullptr, &zero) == -1 && errno == EINTR) {
                }
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
    sigset_t m_previous{};
    bool m_alreadyPending = false;
    bool m_blocked = false;
};

bool ProcessIgnoresSigpipe() {
    struct sigaction action {};
    return ::sigaction(SIGPIPE, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

timeval ToTimeval(uint32_t ms) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return tv;
}

// poll()'s timeout: 0 once the deadline has come, -1 for none.
int PollTimeoutMs(RpcConnection::Clock::time_point deadline) {
    if (IsInfinite(deadline)) {
        return -1;
    }
    return static_cast<int>(RemainingMs(deadline, INT_MAX));
}

}  // namespace

RpcConnection::~RpcConnection() {
    Close();
}

void RpcConnection::Close() {
    m_timeoutSet = false;
    if (m_client != nullptr) {
        clnt_destroy(m_client);
        m_client = nullptr;
    }
    // Taken out first, so that Shutdown on another thread never reaches a
    // descriptor number that was closed and handed out again.
    int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
}

void RpcConnection::Shutdown() {
    int fd = m_fd.load();
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

ViStatus RpcConnection::Connect(const sockaddr_in& address, rpcprog_t program, rpcvers_t version,
                                Clock::time_point deadline) {
    Close();
    m_peer = address;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) {
        return VI_ERROR_SYSTEM_ERROR;
    }
    const sockaddr* raw = reinterpret_cast<const sockaddr*>(&m_peer);
    int rc = ::connect(m_fd, raw, sizeof(m_peer));
    if (rc != 0 && errno != EINPROGRESS) {
        Close();
        return VI_ERROR_RSRC_NFOUND;  // refused or unreachable: fails at once
    }
    if (rc != 0) {
        pollfd p{m_fd, POLLOUT, 0};
        for (;;) {
            int ready = ::poll(&p, 1, PollTimeoutMs(deadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                Close();
                return ready == 0 ? VI_ERROR_TMO : VI_ERROR_SYSTEM_ERROR;
            }
            break;
        }
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            Close();
            // Refused, unreachable: nobody will answer there.
            return error == ETIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
        }
    }
    // libtirpc reads with poll() and its own timeout, and writes blocking;
    // the send timeout set per call bounds the writes.
    int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Close();
        return VI_ERROR_SYSTEM_ERROR;
    }
    // Each call is one small request answered by one small reply: send it
    // at once rather than hold it back for the peer's acknowledgement.
    int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    netbuf remote{};
    remote.buf = &m_peer;
    remote.len = sizeof(m_peer);
    remote.maxlen = sizeof(m_peer);
    m_client = clnt_vc_create(m_fd, &remote, program, version, 0, 0);
    if (m_client == nullptr) {
        Close();
        return VI_ERROR_ALLOC;
    }
    m_guardSigpipe = !ProcessIgnoresSigpipe();
    return VI_SUCCESS;
}

clnt_stat RpcConnection::Call(rpcproc_t procedure, xdrproc_t encodeArgs, void* args,
                              xdrproc_t decodeResult, void* result, uint32_t timeoutMs) {
    if (m_client == nullptr) {
        return RPC_CANTSEND;
    }
    timeval tv = ToTimeval(timeoutMs);
    if (!m_timeoutSet || timeoutMs != m_timeoutMs) {
        // A set timeout overrides the one passed to each call.
        clnt_control(m_client, CLSET_TIMEOUT, reinterpret_cast<char*>(&tv));
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
        m_timeoutMs = timeoutMs;
        m_timeoutSet = true;
    }
    auto call = [&] {
        return clnt_call(m_client, procedure, encodeArgs, static_cast<caddr_t>(args), decodeResult,
                         static_cast<caddr_t>(result), tv);
    };
    if (!m_guardSigpipe) {
        return call();
    }
    SigpipeGuard guard;
    return call();
}

int RpcConnection::LastErrno() const {
    if (m_client == nullptr) {
        return 0;
    }
    rpc_err error{};
    clnt_geterr(m_client, &error);
    return error.re_errno;
}

void RpcConnection::FreeResult(xdrproc_t decodeResult, void* result) {
    if (m_client != nullptr) {
        clnt_freeres(m_client, decodeResult, static_cast<caddr_t>(result));
    } else {
        xdr_free(decodeResult, static_cast<char*>(result));
    }
}

}  // namespace kvt::visa
