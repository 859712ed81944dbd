#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "visa/MessageReadBuffer.h"
#include "visa/Session.h"

namespace kvt::visa {

// A raw TCP session to `TCPIP[n]::host::port::SOCKET`. There is no END on a
// raw socket, so the termination character is enabled by default ('\n'): a
// read ends at it, at a full buffer, or when the timeout runs out. A peer
// that closes the connection makes every later call fail with
// VI_ERROR_CONN_LOST; bytes that arrived before the close are still handed
// out first.
class SocketSession : public Session {
public:
    // Connects to host:port (IPv4), bounded by timeoutMs, and hands back the
    // open session. A refused connection fails at once.
    static ViStatus Connect(const std::string& resourceName, unsigned board,
                            const std::string& host, uint16_t port, ViUInt32 timeoutMs,
                            std::unique_ptr<Session>& session);

    // Takes over a connected, non-blocking socket.
    SocketSession(std::string resourceName, unsigned board, int fd, std::string host,
                  std::string address, uint16_t port);
    ~SocketSession() override;

    ViStatus Write(const ViByte* data, ViUInt32 count, ViUInt32& written) override;
    ViStatus Read(ViByte* data, ViUInt32 count, ViUInt32& received) override;

    ViStatus GetAttribute(ViAttr attribute, void* value) const override;
    void AbortIo() override;
    ViStatus SetAttribute(ViAttr attribute, ViAttrState value) override;

    // A raw socket has no bus messages. Clear drops what was received and
    // not read; with VI_ATTR_IO_PROT = VI_PROT_4882_STRS it also sends
    // "*CLS", reads the status byte with "*STB?" and triggers with "*TRG".
    // Without it, reading the status byte and triggering are not supported.
    ViStatus Clear() override;
    ViStatus ReadStatusByte(ViUInt16& status) override;
    ViStatus AssertTrigger() override;
    void DiscardInput() override { m_pending.Clear(); }

protected:
    bool SupportsIoProtocol(ViUInt16 protocol) const override {
        return protocol == VI_PROT_NORMAL || protocol == VI_PROT_4882_STRS;
    }

private:
    using Clock = std::chrono::steady_clock;

    // Waits (until the deadline) for the socket to become readable and
    // appends what arrives to m_pending. VI_SUCCESS when bytes arrived.
    ViStatus ReceiveMore(Clock::time_point deadline, bool infinite);
    // Sends one 488.2 command string whole.
    ViStatus SendCommand(const char* command);

    int m_fd;
    std::string m_host;     // as named in the resource
    std::string m_address;  // dotted IPv4 address connected to
    uint16_t m_port;
    MessageReadBuffer m_pending;
    bool m_connectionLost = false;
};

}  // namespace kvt::visa
