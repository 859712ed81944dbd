#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "sim/ServedInstrument.h"

namespace kvt::sim {

// Serves the instrument as raw SCPI over TCP (port 5025 on real meters):
// each line a client sends ("\n" or "\r\n" ended) is one message, and the
// response it produces is written back at once. One thread serves every
// client; clients may come and go and the server keeps listening.
class SocketServer {
public:
    static constexpr uint16_t kDefaultPort = 5025;

    explicit SocketServer(ServedInstrument& instrument);
    ~SocketServer();
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    // Listens on every IPv4 address at `port` (0: an ephemeral port, see
    // Port()) and starts serving. False, with the reason, when it cannot.
    bool Start(uint16_t port, std::string& error);
    uint16_t Port() const { return m_port; }
    // Closes every connection and ends the thread. Safe to call twice.
    void Stop();

private:
    struct Client {
        int fd;
        std::string input;  // bytes of a message not yet ended
    };

    void Run();
    void Accept();
    // Reads what the client sent and answers each complete message; false
    // when the connection is over (closed, failed, or dropped by a fault).
    bool Serve(Client& client);
    bool Answer(Client& client);
    bool SendAll(int fd, std::string_view bytes);
    // Waits for the given time; false as soon as the server is stopping.
    bool Pause(std::chrono::milliseconds time);

    ServedInstrument& m_instrument;
    int m_listenFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::vector<Client> m_clients;  // owned by the server thread
    std::thread m_thread;
};

}  // namespace kvt::sim
