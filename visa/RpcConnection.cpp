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
        alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        blocked_ = pthread_sigmask(SIG_BLOCK, &pipe, &previous_) == 0;
    }
    ~SigpipeGuard() {
        if (!blocked_) {
            return;
        }
        if (!alreadyPending_) {
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
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
    sigset_t previous_{};
    bool alreadyPending_ = false;
    bool blocked_ = false;
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
    timeoutSet_ = false;
    if (client_ != nullptr) {
        clnt_destroy(client_);
        client_ = nullptr;
    }
    // Taken out first, so that Shutdown on another thread never reaches a
    // descriptor number that was closed and handed out again.
    int fd = fd_.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
}

void RpcConnection::Shutdown() {
    int fd = fd_.load();
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

ViStatus RpcConnection::Connect(const sockaddr_in& address, rpcprog_t program, rpcvers_t version,
                                Clock::time_point deadline) {
    Close();
    peer_ = address;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        return VI_ERROR_SYSTEM_ERROR;
    }
    const sockaddr* raw = reinterpret_cast<const sockaddr*>(&peer_);
    int rc = ::connect(fd_, raw, sizeof(peer_));
    if (rc != 0 && errno != EINPROGRESS) {
        Close();
        return VI_ERROR_RSRC_NFOUND;  // refused or unreachable: fails at once
    }
    if (rc != 0) {
        pollfd p{fd_, POLLOUT, 0};
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
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            Close();
            // Refused, unreachable: nobody will answer there.
            return error == ETIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
        }
    }
    // libtirpc reads with poll() and its own timeout, and writes blocking;
    // the send timeout set per call bounds the writes.
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Close();
        return VI_ERROR_SYSTEM_ERROR;
    }
    // Each call is one small request answered by one small reply: send it
    // at once rather than hold it back for the peer's acknowledgement.
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    netbuf remote{};
    remote.buf = &peer_;
    remote.len = sizeof(peer_);
    remote.maxlen = sizeof(peer_);
    client_ = clnt_vc_create(fd_, &remote, program, version, 0, 0);
    if (client_ == nullptr) {
        Close();
        return VI_ERROR_ALLOC;
    }
    guardSigpipe_ = !ProcessIgnoresSigpipe();
    return VI_SUCCESS;
}

clnt_stat RpcConnection::Call(rpcproc_t procedure, xdrproc_t encodeArgs, void* args,
                              xdrproc_t decodeResult, void* result, uint32_t timeoutMs) {
    if (client_ == nullptr) {
        return RPC_CANTSEND;
    }
    timeval tv = ToTimeval(timeoutMs);
    if (!timeoutSet_ || timeoutMs != timeoutMs_) {
        // A set timeout overrides the one passed to each call.
        clnt_control(client_, CLSET_TIMEOUT, reinterpret_cast<char*>(&tv));
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
        timeoutMs_ = timeoutMs;
        timeoutSet_ = true;
    }
    auto call = [&] {
        return clnt_call(client_, procedure, encodeArgs, static_cast<caddr_t>(args), decodeResult,
                         static_cast<caddr_t>(result), tv);
    };
    if (!guardSigpipe_) {
        return call();
    }
    SigpipeGuard guard;
    return call();
}

int RpcConnection::LastErrno() const {
    if (client_ == nullptr) {
        return 0;
    }
    rpc_err error{};
    clnt_geterr(client_, &error);
    return error.re_errno;
}

void RpcConnection::FreeResult(xdrproc_t decodeResult, void* result) {
    if (client_ != nullptr) {
        clnt_freeres(client_, decodeResult, static_cast<caddr_t>(result));
    } else {
        xdr_free(decodeResult, static_cast<char*>(result));
    }
}

}  // namespace kvt::visa
