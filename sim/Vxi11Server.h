#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>

#include <rpc/rpc.h>

#include "sim/Portmapper.h"
#include "sim/QuirkSettings.h"
#include "sim/ServedInstrument.h"

namespace kvt::sim {

// Serves the instrument over VXI-11: the core channel (links, device_write,
// device_read, status byte, clear, trigger, remote/local, locks) and the
// abort channel, each on an ephemeral TCP port, with the core channel made
// findable through the portmapper. One thread runs every RPC exchange
// (libtirpc's server side is process-wide state), so only one server may
// run in a process at a time. Clients may come and go. The quirks make it
// behave as some real instruments do (see QuirkSettings).
class Vxi11Server {
public:
    // The largest device_write the link accepts. Kept at 1024 because some
    // clients (pyvisa-py 0.5) only set END on a final chunk of at most 1024
    // bytes, so a larger advertised size leaves their long messages unended.
    static constexpr uint32_t kMaxRecvSize = 1024;
    // A message longer than this (written without END) is refused.
    static constexpr size_t kMaxMessage = 16 * 1024 * 1024;

    explicit Vxi11Server(ServedInstrument& instrument, QuirkSettings quirks = {});
    ~Vxi11Server();
    Vxi11Server(const Vxi11Server&) = delete;
    Vxi11Server& operator=(const Vxi11Server&) = delete;

    // Starts serving. portmapperPort empty: register with the system rpcbind
    // when one runs, else answer lookups on port 111; given: answer them on
    // that port only (0: ephemeral). False, with the reason, on failure.
    bool Start(std::optional<uint16_t> portmapperPort, std::string& error);
    uint16_t CorePort() const { return m_corePort; }
    uint16_t AbortPort() const { return m_abortPort; }
    // The built-in portmapper's port; 0 when registered with rpcbind.
    uint16_t PortmapperPort() const { return m_portmapper.Port(); }
    // Unregisters, closes every connection and ends the thread. Safe twice.
    void Stop();
    // How many links are open now. Thread-safe.
    size_t LiveLinks() const { return m_liveLinks.load(); }
    const QuirkSettings& Quirks() const { return m_quirks; }
    // The maxRecvSize that create_link reports.
    uint32_t MaxRecvSize() const {
        return m_quirks.maxRecvSize != 0 ? m_quirks.maxRecvSize : kMaxRecvSize;
    }

    // The procedures, called on the server thread by the RPC dispatch.
    // Each returns a VXI-11 error code.
    struct ReadResult {
        std::string data;
        long reason = 0;
        bool dropConnection = false;  // reply with data, then close
    };
    long CreateLink(int connection, bool lockDevice, long& link);
    long DestroyLink(long link);
    long Write(long link, bool end, std::string_view data);
    long Read(long link, unsigned long requestSize, unsigned long ioTimeoutMs, bool termCharSet,
              char termChar, ReadResult& result);
    long ReadStatusByte(long link, uint8_t& statusByte);
    long Clear(long link);
    long Generic(long link);  // trigger, remote, local: accepted, nothing to do
    long Lock(long link);
    long Unlock(long link);
    long Abort(long link);

private:
    struct Link {
        int connection = -1;    // the socket the link was created on
        std::string input;      // written without END so far
        std::string output;     // the response being read
        size_t outputRead = 0;  // how much of it was read: reads take from here on
        bool outputEnds = false;
        bool dropAfterOutput = false;
        bool endPending = false;     // late-end: the next read answers END alone
        bool emptyAnswered = false;  // empty-reads: the next read gets data
        size_t pieces = 0;           // pieces of the current reply handed out
    };

    void Run(SVCXPRT* core, SVCXPRT* abort);
    // Takes a connection from a listener and makes it an RPC transport.
    void Accept(int listenFd);
    // The connections' transport operations with the replies sent in
    // fragments (the fragments quirk); they stand in for libtirpc's own.
    static bool_t ReceiveKeepingXid(SVCXPRT* xprt, rpc_msg* message);
    static bool_t ReplyInFragments(SVCXPRT* xprt, rpc_msg* message);
    static void DestroyForgettingXid(SVCXPRT* xprt);
    void LinksChanged() { m_liveLinks = m_links.size(); }
    void ForgetClosedLinks();
    // Link lookup with the lock check; nullptr with the error in `error`.
    Link* Find(long link, long& error);
    // True (and the lock released) when the lock holder's connection is gone.
    bool ReleaseLockOfClosedConnection();
    bool WaitForStop(std::chrono::milliseconds timeout);

    ServedInstrument& m_instrument;
    const QuirkSettings m_quirks;
    Portmapper m_portmapper;
    uint16_t m_corePort = 0;
    uint16_t m_abortPort = 0;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::thread m_thread;
    std::mutex m_stopMutex;
    std::condition_variable m_stopChanged;
    bool m_stopping = false;
    // Server thread only:
    std::map<long, Link> m_links;
    long m_nextLink = 1;
    std::optional<long> m_lockHolder;
    std::atomic<size_t> m_liveLinks{0};
    // A connection's transport operations (a struct nested in SVCXPRT).
    using TransportOps = std::remove_const_t<std::remove_pointer_t<decltype(SVCXPRT::xp_ops)>>;
    const TransportOps* m_plainOps = nullptr;  // libtirpc's, for the fragments quirk
    TransportOps m_fragmentOps{};
    std::map<const SVCXPRT*, uint32_t> m_xids;  // each connection's call being answered
};

}  // namespace kvt::sim
