#pragma once

#include <atomic>

#include <netinet/in.h>
#include <rpc/rpc.h>

#include <chrono>
#include <cstdint>

#include "visa/visa.h"

namespace kvt::visa {

// One ONC RPC client over a TCP connection that we open ourselves, so that
// connecting is bounded by our deadline and not by libtirpc's defaults.
// Every call carries its own timeout for the reply and for sending the
// request; SIGPIPE from a peer that went away is swallowed.
class RpcConnection {
public:
    using Clock = std::chrono::steady_clock;

    RpcConnection() = default;
    ~RpcConnection();
    RpcConnection(const RpcConnection&) = delete;
    RpcConnection& operator=(const RpcConnection&) = delete;

    // Connects to address and creates the client for program/version.
    // VI_ERROR_RSRC_NFOUND when nothing listens (refused, at once),
    // VI_ERROR_TMO when the deadline passes, VI_ERROR_ALLOC/SYSTEM_ERROR
    // when the client cannot be made.
    ViStatus Connect(const sockaddr_in& address, rpcprog_t program, rpcvers_t version,
                     Clock::time_point deadline);

    // One call; the request must be sent and the reply received within
    // timeoutMs. RPC_SUCCESS or the transport's failure.
    clnt_stat Call(rpcproc_t procedure, xdrproc_t encodeArgs, void* args, xdrproc_t decodeResult,
                   void* result, uint32_t timeoutMs);

    // Releases what decodeResult allocated in result.
    void FreeResult(xdrproc_t decodeResult, void* result);

    // The system error behind the last failed call (0 when none).
    int LastErrno() const;

    bool Connected() const { return m_client != nullptr; }
    // The address last connected to (kept after Close).
    const sockaddr_in& Peer() const { return m_peer; }
    void Close();
    // Shuts the socket down in both directions, so that a call blocked on
    // it in another thread returns at once. Thread-safe.
    void Shutdown();

private:
    std::atomic<int> m_fd{-1};
    CLIENT* m_client = nullptr;
    sockaddr_in m_peer{};
    // The timeout last given to the client and the socket; set again only
    // when a call asks for another one.
    uint32_t m_timeoutMs = 0;
    bool m_timeoutSet = false;
    // Whether SIGPIPE must be held off around each call: not when the
    // process ignores it (korvata and korvata-sim do), looked at on connect.
    bool m_guardSigpipe = true;
};

}  // namespace kvt::visa
