#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "visa/MessageReadBuffer.h"
#include "visa/ResourceName.h"
#include "visa/RpcConnection.h"
#include "visa/Session.h"
#include "visa/vxi11.h"

namespace kvt::visa {

// A VXI-11 link to `TCPIP[n]::host[::device]::INSTR` on the instrument's
// core channel. Writes go out in device_write calls no larger than the
// link's maxRecvSize, END on the last one; reads repeat device_read until
// END, the termination character (found by the device or, when it ignores
// it, by us) or a full buffer; replies with nothing in them are asked again
// within the session timeout, and END alone ends a read (but an END that
// comes late, after a read ended at the termination character, is passed
// over). A read into a buffer
// smaller than kReadAhead asks for kReadAhead bytes and keeps what the
// caller did not take for the next read, so that a long response read in
// small pieces costs one round trip, not one per piece; a read into a
// larger buffer, with nothing kept, goes straight into that buffer, with
// no copy. A write drops what was kept. The session timeout is passed on
// as io_timeout and bounds every call; lock_timeout is 0 but in
// device_lock. Once the connection fails, every later call fails with
// VI_ERROR_CONN_LOST. Closing destroys the link, on a new connection when
// its own has failed or was shut down.
class Vxi11Session : public Session {
public:
    // Connects to the core channel at `core` and creates the link to the
    // resource's LAN device. Connecting and creating the link are bounded
    // by deadline.
    static ViStatus Open(const visa::ResourceName& name, const sockaddr_in& core,
                         RpcConnection::Clock::time_point deadline,
                         std::unique_ptr<Session>& session);

    ~Vxi11Session() override;  // destroys the link

    ViStatus Write(const ViByte* data, ViUInt32 count, ViUInt32& written) override;
    ViStatus Read(ViByte* data, ViUInt32 count, ViUInt32& received) override;
    void DiscardInput() override { m_pending.Clear(); }

    static constexpr ViUInt32 kReadAhead = 1024 * 1024;
    ViStatus GetAttribute(ViAttr attribute, void* value) const override;
    void AbortIo() override;
    // device_clear, device_trigger, device_readstb, device_lock/unlock.
    ViStatus Clear() override;
    ViStatus AssertTrigger() override;
    ViStatus ReadStatusByte(ViUInt16& status) override;
    ViStatus LockDevice(ViUInt32 timeoutMs) override;
    ViStatus UnlockDevice() override;

    // VXI-11 error codes as VISA status values.
    static ViStatus MapDeviceError(long error);

private:
    Vxi11Session(const visa::ResourceName& name, std::unique_ptr<RpcConnection> core, long link,
                 uint32_t maxRecvSize, std::string address);

    // The reply timeout of one call: the session timeout plus a margin for
    // the network, so that the device reports its own timeout first.
    uint32_t CallTimeoutMs() const;
    // The device's error code as a status; a lost link ends the session.
    ViStatus DeviceStatus(long error);
    // Maps a failed RPC call; anything but a reply timeout ends the link.
    ViStatus TransportFailure(int rpcStatus);
    // One device_read of up to `size` bytes into `into`; fails only when
    // the call itself fails (the device's own error is in reply.error).
    ViStatus DeviceRead(ViByte* into, ViUInt32 size, Device_ReadResp& reply);
    // One device_read of at least kReadAhead bytes into m_scratch.
    ViStatus DeviceReadAhead(ViUInt32 wanted, Device_ReadResp& reply);
    // Appends a reply in m_scratch to m_pending; the device's error, mapped.
    ViStatus KeepReply(const Device_ReadResp& reply);
    // A failed read: hands out what was kept with the failure's status.
    ViStatus HandOutAfterFailure(ViByte* data, ViUInt32 count, ViUInt32& received, ViStatus status);
    // Reads straight into the caller's buffer until END, the termination
    // character or a full buffer; what a device that ignores the
    // termination character sent past it is kept. With endOwed, an END
    // alone as the first reply belongs to the last read's message and is
    // passed over.
    ViStatus ReadDirect(ViByte* data, ViUInt32 count, ViUInt32& received, bool endOwed);
    // Reads through m_pending (fetching ahead), the same way.
    ViStatus ReadBuffered(ViByte* data, ViUInt32 count, ViUInt32& received, bool endOwed);
    // Parameters of the calls that take only the link and the timeouts.
    Device_GenericParms GenericParms() const;
    // A call whose reply is a Device_Error, mapped.
    ViStatus CallForError(unsigned long procedure, xdrproc_t encode, void* args);

    std::unique_ptr<RpcConnection> m_core;
    long m_link;
    uint32_t m_maxRecvSize;
    std::string m_host;
    std::string m_address;
    std::string m_device;
    bool m_connectionLost = false;
    // The last read ended at the termination character, with nothing kept
    // and no END yet: a device that sends END late (in a reply of its own)
    // still owes it.
    bool m_endOwed = false;
    MessageReadBuffer m_pending;
    std::vector<ViByte> m_scratch;  // device_read replies are decoded here
};

}  // namespace kvt::visa
