#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kvt::sim {

// Makes the simulated meter's RPC programs findable by port number. Either
// registers them with the system portmapper (rpcbind) or answers the
// lookups itself: PMAPPROC_GETPORT and DUMP (version 2) and RPCBPROC_GETADDR
// (versions 3 and 4, which libtirpc clients ask first), over TCP and UDP,
// and the NULL procedures. Remote registration (SET/UNSET) is refused.
class Portmapper {
public:
    static constexpr uint16_t kStandardPort = 111;

    Portmapper() = default;
    ~Portmapper();
    Portmapper(const Portmapper&) = delete;
    Portmapper& operator=(const Portmapper&) = delete;

    // port empty: use the system rpcbind when one answers on port 111, else
    // run the built-in portmapper on port 111. port given: run only the
    // built-in one on that port (0: an ephemeral port, see Port()).
    bool Start(std::optional<uint16_t> port, std::string& error);

    // Makes program/version on TCP port tcpPort findable.
    bool Register(uint32_t program, uint32_t version, uint16_t tcpPort, std::string& error);

    // The built-in portmapper's port; 0 when the system rpcbind is used.
    uint16_t Port() const { return m_port; }
    bool UsesSystemRpcbind() const { return m_systemRpcbind; }

    // Takes back what Register() put in the system rpcbind and ends the
    // built-in portmapper. Safe to call twice.
    void Stop();

private:
    struct Mapping {
        uint32_t program;
        uint32_t version;
        uint32_t protocol;  // IPPROTO_TCP or IPPROTO_UDP
        uint16_t port;
    };
    struct Client {
        int fd;
        std::string input;   // bytes of a record not yet complete
        std::string record;  // fragments of the current record
    };

    bool StartBuiltIn(uint16_t port, std::string& error);
    void Run();
    void AcceptClient();
    bool ServeClient(Client& client);  // false when the connection is over
    void ServeDatagram();
    // Answers one call message; empty when no reply is due (not a call).
    std::string Answer(std::string_view call, const std::string& localAddress);
    std::vector<Mapping> Mappings();

    std::mutex m_mutex;
    std::vector<Mapping> m_mappings;          // built-in: guarded by m_mutex
    std::vector<Mapping> m_systemRegistered;  // system rpcbind: what to take back
    bool m_systemRpcbind = false;
    uint16_t m_port = 0;
    int m_tcpFd = -1;
    int m_udpFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::vector<Client> m_clients;  // owned by the thread
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

}  // namespace kvt::sim
