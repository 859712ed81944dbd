#include "visa/Vxi11Session.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <utility>

#include "visa/Deadline.h"
#include "visa/VisaString.h"
#include "visa/XdrProc.h"
#include "visa/vxi11.h"

namespace kvt::visa {
namespace {

// Time the network may add to the device's own io_timeout.
constexpr uint32_t kCallMarginMs = 1000;
// Closing waits at most this long for destroy_link.
constexpr uint32_t kCloseTimeoutMs = 2000;
// Connecting again to destroy a link whose connection failed or was
// aborted, and the destroy_link call on it: a device on the network answers
// both at once, or is gone or hung (then the program, which may be
// quitting, should not wait long for it).
constexpr uint32_t kReconnectTimeoutMs = 500;
// What we send per device_write when the device names no limit.
constexpr uint32_t kFallbackChunk = 1024;

std::atomic<long> nextClientId{1};

// Decodes a device_read reply straight into the caller's buffer, refusing
// more data than was asked for: a reply is never allowed to overrun the
// buffer or to make us allocate what the peer claims.
struct BoundedReadReply {
    Device_ReadResp* reply;
    u_int capacity;
};

bool_t DecodeBoundedReadReply(XDR* xdrs, void* target) {
    auto* bounded = static_cast<BoundedReadReply*>(target);
    Device_ReadResp* reply = bounded->reply;
    return xdr_Device_ErrorCode(xdrs, &reply->error) && xdr_long(xdrs, &reply->reason) &&
           xdr_bytes(xdrs, &reply->data.data_val, &reply->data.data_len, bounded->capacity);
}

// A device_read reply with nothing in it: no data, no error, and neither
// END nor the termination character. Some devices answer so while the
// reply is not ready yet (or hand out REQCNT alone); the read asks again.
bool CarriesNothing(const Device_ReadResp& reply) {
    return reply.error == VXI11_ERR_NONE && reply.data.data_len == 0 &&
           (reply.reason & (VXI11_REASON_END | VXI11_REASON_CHR)) == 0;
}

// How long a read goes on asking a device that answers with nothing: the
// session timeout from the first of a run of such replies.
class NothingReplies {
public:
    explicit NothingReplies(ViUInt32 timeoutMs) : m_timeoutMs(timeoutMs) {}
    // Called for each reply that carries nothing: whether to ask again.
    bool MayAskAgain() {
        if (!m_deadline) {
            m_deadline = DeadlineAfter(m_timeoutMs);
        }
        return !Expired(*m_deadline);
    }
    void DataArrived() { m_deadline.reset(); }

private:
    ViUInt32 m_timeoutMs;
    std::optional<DeadlineClock::time_point> m_deadline;
};

// destroy_link on `connection`; true when the device answered (whatever
// it said), so the link is gone.
bool DestroyLink(RpcConnection& connection, long link, DeadlineClock::time_point deadline) {
    Device_Link lid = link;
    Device_Error reply{};
    uint32_t timeout =
        static_cast<uint32_t>(std::max<uint64_t>(1, RemainingMs(deadline, INT_MAX / 2)));
    return connection.Call(destroy_link, Xdr(xdr_Device_Link), &lid, Xdr(xdr_Device_Error), &reply,
                           timeout) == RPC_SUCCESS;
}

}  // namespace

ViStatus Vxi11Session::MapDeviceError(long error) {
    switch (error) {
        case VXI11_ERR_NONE:
            return VI_SUCCESS;
        case VXI11_ERR_IO_TIMEOUT:
            return VI_ERROR_TMO;
        case VXI11_ERR_INVALID_LINK:
        case VXI11_ERR_NO_CHANNEL:
            return VI_ERROR_CONN_LOST;
        case VXI11_ERR_NOT_ACCESSIBLE:
        case VXI11_ERR_INVALID_ADDRESS:
            return VI_ERROR_RSRC_NFOUND;
        case VXI11_ERR_LOCKED:
            return VI_ERROR_RSRC_LOCKED;
        case VXI11_ERR_PARAMETER:
        case VXI11_ERR_SYNTAX:
            return VI_ERROR_INV_PARAMETER;
        case VXI11_ERR_NOT_SUPPORTED:
            return VI_ERROR_NSUP_OPER;
        case VXI11_ERR_OUT_OF_RESOURCES:
            return VI_ERROR_RSRC_BUSY;
        default:  // I/O error, abort, no lock held, anything unknown
            return VI_ERROR_IO;
    }
}

ViStatus Vxi11Session::DeviceStatus(long error) {
    ViStatus mapped = MapDeviceError(error);
    m_connectionLost = m_connectionLost || mapped == VI_ERROR_CONN_LOST;
    return mapped;
}

ViStatus Vxi11Session::Open(const visa::ResourceName& name, const sockaddr_in& core,
                            RpcConnection::Clock::time_point deadline,
                            std::unique_ptr<Session>& session) {
    auto connection = std::make_unique<RpcConnection>();
    ViStatus status = connection->Connect(core, DEVICE_CORE, DEVICE_CORE_VERSION, deadline);
    if (status < VI_SUCCESS) {
        return status;
    }
    std::string device = name.lanDevice.empty() ? std::string("inst0") : name.lanDevice;
    Create_LinkParms parms{};
    parms.clientId = nextClientId.fetch_add(1);
    parms.lockDevice = FALSE;
    // No lock is asked for, so there is nothing to wait for; some devices
    // refuse a nonzero lock_timeout outright.
    parms.lock_timeout = 0;
    parms.device = device.data();
    Create_LinkResp reply{};
    // Creating the link belongs to opening: it ends by the open deadline.
    uint32_t callTimeout =
        static_cast<uint32_t>(std::max<uint64_t>(1, RemainingMs(deadline, INT_MAX / 2)));
    clnt_stat rpc = connection->Call(create_link, Xdr(xdr_Create_LinkParms), &parms,
                                     Xdr(xdr_Create_LinkResp), &reply, callTimeout);
    if (rpc != RPC_SUCCESS) {
        // The channel accepted the connection but did not make a link.
        return rpc == RPC_TIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
    }
    if (reply.error != VXI11_ERR_NONE) {
        ViStatus mapped = MapDeviceError(reply.error);
        return mapped == VI_ERROR_CONN_LOST ? VI_ERROR_RSRC_NFOUND : mapped;
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &core.sin_addr, text, sizeof(text));
    uint32_t maxRecv = static_cast<uint32_t>(std::min<u_long>(reply.maxRecvSize, UINT32_MAX));
    session.reset(new Vxi11Session(name, std::move(connection), reply.lid, maxRecv, text));
    return VI_SUCCESS;
}

Vxi11Session::Vxi11Session(const visa::ResourceName& name, std::unique_ptr<RpcConnection> core,
                           long link, uint32_t maxRecvSize, std::string address)
    : Session(name.Canonical(), VI_INTF_TCPIP, name.board),
      m_core(std::move(core)),
      m_link(link),
      m_maxRecvSize(maxRecvSize == 0 ? kFallbackChunk : maxRecvSize),
      m_host(name.host),
      m_address(std::move(address)),
      m_device(name.lanDevice.empty() ? std::string("inst0") : name.lanDevice) {}

Vxi11Session::~Vxi11Session() {
    const DeadlineClock::time_point deadline =
        DeadlineAfter(std::min(CallTimeoutMs(), kCloseTimeoutMs));
    bool destroyed = !m_connectionLost && DestroyLink(*m_core, m_link, deadline);
    m_core->Close();
    if (!destroyed) {
        // The connection failed or was shut down (AbortIo). Some devices
        // keep a link until it is destroyed, whatever becomes of its
        // connection, and take no new link while an old one lives: destroy
        // it on a connection of its own.
        RpcConnection again;
        DeadlineClock::time_point retryBy = std::min(deadline, DeadlineAfter(kReconnectTimeoutMs));
        if (again.Connect(m_core->Peer(), DEVICE_CORE, DEVICE_CORE_VERSION, retryBy) ==
            VI_SUCCESS) {
            DestroyLink(again, m_link, retryBy);
        }
    }
}

void Vxi11Session::AbortIo() {
    m_core->Shutdown();
}

uint32_t Vxi11Session::CallTimeoutMs() const {
    uint64_t timeout = Attributes().timeoutMs;
    // libtirpc waits in poll() with an int of milliseconds.
    return static_cast<uint32_t>(std::min<uint64_t>(timeout + kCallMarginMs, INT_MAX / 2));
}

ViStatus Vxi11Session::TransportFailure(int rpcStatus) {
    if (rpcStatus == RPC_TIMEDOUT) {
        return VI_ERROR_TMO;  // the reply may still come; libtirpc skips it by xid
    }
    if (rpcStatus == RPC_CANTDECODERES) {
        return VI_ERROR_IO;  // a reply we refused (more data than asked for)
    }
    int error = m_core->LastErrno();
    m_connectionLost = true;
    // A request that could not be sent in time leaves half a record on the
    // stream: report the timeout, but the link is unusable from here on.
    if (rpcStatus == RPC_CANTSEND && (error == EAGAIN || error == EWOULDBLOCK)) {
        return VI_ERROR_TMO;
    }
    return VI_ERROR_CONN_LOST;
}

ViStatus Vxi11Session::Write(const ViByte* data, ViUInt32 count, ViUInt32& written) {
    written = 0;
    if (m_connectionLost) {
        return VI_ERROR_CONN_LOST;
    }
    // Reads fetch ahead. What was fetched and not read belongs to a reply
    // that a new command abandons (an instrument discards it too), and must
    // never be handed out as part of the next command's reply.
    m_pending.Clear();
    const SessionAttributes& a = Attributes();
    do {
        ViUInt32 chunk = std::min(count - written, m_maxRecvSize);
        bool last = written + chunk == count;
        Device_WriteParms parms{};
        parms.lid = m_link;
        parms.io_timeout = a.timeoutMs;
        // A lock held by another client fails the call at once, as VISA
        // has it; some devices refuse to wait for a lock at all.
        parms.lock_timeout = 0;
        parms.flags = last && a.sendEndEnabled ? VXI11_FLAG_END : 0;
        parms.data.data_len = chunk;
        parms.data.data_val = reinterpret_cast<char*>(const_cast<ViByte*>(data + written));
        Device_WriteResp reply{};
        clnt_stat rpc = m_core->Call(device_write, Xdr(xdr_Device_WriteParms), &parms,
                                     Xdr(xdr_Device_WriteResp), &reply, CallTimeoutMs());
        if (rpc != RPC_SUCCESS) {
            return TransportFailure(rpc);
        }
        if (reply.error != VXI11_ERR_NONE) {
            return DeviceStatus(reply.error);
        }
        ViUInt32 accepted = static_cast<ViUInt32>(std::min<u_long>(reply.size, chunk));
        if (accepted == 0 && chunk > 0) {
            return VI_ERROR_IO;  // the device takes nothing: no progress possible
        }
        written += accepted;
    } while (written < count);
    return VI_SUCCESS;
}

ViStatus Vxi11Session::DeviceRead(ViByte* into, ViUInt32 size, Device_ReadResp& reply) {
    const SessionAttributes& a = Attributes();
    Device_ReadParms parms{};
    parms.lid = m_link;
    parms.requestSize = size;
    parms.io_timeout = a.timeoutMs;
    parms.lock_timeout = 0;  // as for device_write
    parms.flags = a.termCharEnabled ? VXI11_FLAG_TERMCHRSET : 0;
    parms.termChar = static_cast<char>(a.termChar);
    reply = Device_ReadResp{};
    reply.data.data_val = reinterpret_cast<char*>(into);
    BoundedReadReply bounded{&reply, size};
    clnt_stat rpc = m_core->Call(device_read, Xdr(xdr_Device_ReadParms), &parms,
                                 Xdr(DecodeBoundedReadReply), &bounded, CallTimeoutMs());
    return rpc == RPC_SUCCESS ? VI_SUCCESS : TransportFailure(rpc);
}

ViStatus Vxi11Session::DeviceReadAhead(ViUInt32 wanted, Device_ReadResp& reply) {
    const ViUInt32 size = std::max(wanted, kReadAhead);
    if (m_scratch.size() < size) {
        m_scratch.resize(size);
    }
    return DeviceRead(m_scratch.data(), size, reply);
}

ViStatus Vxi11Session::HandOutAfterFailure(ViByte* data, ViUInt32 count, ViUInt32& received,
                                           ViStatus status) {
    // Whatever arrived before the failure is handed out with it.
    if (!m_pending.Empty()) {
        m_pending.Take(data, count, false, 0, received);
        m_pending.Clear();
    }
    return status;
}

ViStatus Vxi11Session::KeepReply(const Device_ReadResp& reply) {
    bool end = (reply.reason & VXI11_REASON_END) != 0;
    if (reply.data.data_len > 0 || end) {
        m_pending.Append(
            std::string_view(reinterpret_cast<const char*>(m_scratch.data()), reply.data.data_len),
            end);
    }
    return reply.error != VXI11_ERR_NONE ? DeviceStatus(reply.error) : VI_SUCCESS;
}

ViStatus Vxi11Session::ReadDirect(ViByte* data, ViUInt32 count, ViUInt32& received, bool endOwed) {
    const SessionAttributes& a = Attributes();
    NothingReplies nothing(a.timeoutMs);
    while (received < count) {
        Device_ReadResp reply{};
        ViStatus status = DeviceRead(data + received, count - received, reply);
        if (status < VI_SUCCESS) {
            return status;
        }
        if (CarriesNothing(reply)) {
            if (!nothing.MayAskAgain()) {
                return VI_ERROR_TMO;
            }
            continue;
        }
        nothing.DataArrived();
        const ViUInt32 start = received;
        received += reply.data.data_len;
        if (reply.error != VXI11_ERR_NONE) {
            return DeviceStatus(reply.error);
        }
        const bool end = (reply.reason & VXI11_REASON_END) != 0;
        if (std::exchange(endOwed, false) && end && received == 0) {
            continue;  // the END of the message the last read ended
        }
        if (a.termCharEnabled && (reply.reason & VXI11_REASON_CHR) == 0) {
            // A device that ignores the termination character: the read
            // ends at it all the same, and what follows is read next.
            const void* at = std::memchr(data + start, a.termChar, received - start);
            if (at != nullptr) {
                const auto through =
                    static_cast<ViUInt32>(static_cast<const ViByte*>(at) - data) + 1;
                if (through < received) {
                    m_pending.Append(std::string_view(reinterpret_cast<const char*>(data) + through,
                                                      received - through),
                                     end);
                    received = through;
                    return VI_SUCCESS_TERM_CHAR;
                }
                if (!end) {
                    return VI_SUCCESS_TERM_CHAR;
                }
            }
        }
        if (end) {
            return VI_SUCCESS;
        }
        if ((reply.reason & VXI11_REASON_CHR) != 0) {
            return VI_SUCCESS_TERM_CHAR;
        }
    }
    return VI_SUCCESS_MAX_CNT;
}

ViStatus Vxi11Session::Read(ViByte* data, ViUInt32 count, ViUInt32& received) {
    received = 0;
    if (m_connectionLost) {
        return VI_ERROR_CONN_LOST;
    }
    if (count == 0) {
        return VI_SUCCESS_MAX_CNT;
    }
    // Only the next read may meet the END that the last one did not wait for.
    const bool endOwed = std::exchange(m_endOwed, false);
    ViStatus status = m_pending.Empty() && count >= kReadAhead
                          ? ReadDirect(data, count, received, endOwed)
                          : ReadBuffered(data, count, received, endOwed);
    m_endOwed = status == VI_SUCCESS_TERM_CHAR && m_pending.Empty();
    return status;
}

ViStatus Vxi11Session::ReadBuffered(ViByte* data, ViUInt32 count, ViUInt32& received,
                                    bool endOwed) {
    const SessionAttributes& a = Attributes();
    NothingReplies nothing(a.timeoutMs);
    while (!m_pending.CanComplete(count, a.termCharEnabled, a.termChar)) {
        Device_ReadResp reply{};
        ViStatus status = DeviceReadAhead(count - static_cast<ViUInt32>(m_pending.Size()), reply);
        if (status < VI_SUCCESS) {
            return HandOutAfterFailure(data, count, received, status);
        }
        if (CarriesNothing(reply)) {
            if (!nothing.MayAskAgain()) {
                return HandOutAfterFailure(data, count, received, VI_ERROR_TMO);
            }
            continue;
        }
        nothing.DataArrived();
        if (m_pending.Empty() && reply.error == VXI11_ERR_NONE) {
            const ViUInt32 length = reply.data.data_len;
            const bool end = (reply.reason & VXI11_REASON_END) != 0;
            if (std::exchange(endOwed, false) && length == 0 && end) {
                continue;  // the END of the message the last read ended
            }
            if (length == 0 && end) {
                // END alone: the end of a reply whose data was all read
                // (it filled the last buffer exactly), or an empty reply.
                return VI_SUCCESS;
            }
            // The usual reply, whole in one device_read and no longer than
            // the buffer, goes straight out without passing through the
            // kept bytes; with the termination character on, only when it
            // holds the character nowhere but at its end (a device that
            // ignores it may have gone past it).
            const bool atTermChar = (reply.reason & VXI11_REASON_CHR) != 0;
            const bool whole = end || (a.termCharEnabled && atTermChar);
            if (whole && length > 0 && length <= count &&
                (!a.termCharEnabled ||
                 std::memchr(m_scratch.data(), a.termChar, length - 1) == nullptr)) {
                std::memcpy(data, m_scratch.data(), length);
                received = length;
                return end ? VI_SUCCESS : VI_SUCCESS_TERM_CHAR;
            }
        }
        status = KeepReply(reply);
        if (status < VI_SUCCESS) {
            return HandOutAfterFailure(data, count, received, status);
        }
    }
    return m_pending.Take(data, count, a.termCharEnabled, a.termChar, received);
}

ViStatus Vxi11Session::GetAttribute(ViAttr attribute, void* value) const {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    switch (attribute) {
        case VI_ATTR_TCPIP_ADDR:
            CopyVisaString(m_address, value);
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_HOSTNAME:
            CopyVisaString(m_host, value);
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_DEVICE_NAME:
            CopyVisaString(m_device, value);
            return VI_SUCCESS;
        default:
            return Session::GetAttribute(attribute, value);
    }
}

Device_GenericParms Vxi11Session::GenericParms() const {
    Device_GenericParms parms{};
    parms.lid = m_link;
    parms.flags = 0;
    parms.lock_timeout = 0;  // as for device_write
    parms.io_timeout = Attributes().timeoutMs;
    return parms;
}

ViStatus Vxi11Session::CallForError(unsigned long procedure, xdrproc_t encode, void* args) {
    if (m_connectionLost) {
        return VI_ERROR_CONN_LOST;
    }
    Device_Error reply{};
    clnt_stat rpc = m_core->Call(static_cast<rpcproc_t>(procedure), encode, args,
                                 Xdr(xdr_Device_Error), &reply, CallTimeoutMs());
    if (rpc != RPC_SUCCESS) {
        return TransportFailure(rpc);
    }
    return DeviceStatus(reply.error);
}

ViStatus Vxi11Session::Clear() {
    m_pending.Clear();
    Device_GenericParms parms = GenericParms();
    return CallForError(device_clear, Xdr(xdr_Device_GenericParms), &parms);
}

ViStatus Vxi11Session::AssertTrigger() {
    Device_GenericParms parms = GenericParms();
    return CallForError(device_trigger, Xdr(xdr_Device_GenericParms), &parms);
}

ViStatus Vxi11Session::ReadStatusByte(ViUInt16& status) {
    status = 0;
    if (m_connectionLost) {
        return VI_ERROR_CONN_LOST;
    }
    Device_GenericParms parms = GenericParms();
    Device_ReadStbResp reply{};
    clnt_stat rpc = m_core->Call(device_readstb, Xdr(xdr_Device_GenericParms), &parms,
                                 Xdr(xdr_Device_ReadStbResp), &reply, CallTimeoutMs());
    if (rpc != RPC_SUCCESS) {
        return TransportFailure(rpc);
    }
    ViStatus mapped = DeviceStatus(reply.error);
    if (mapped == VI_SUCCESS) {
        status = reply.stb;
    }
    return mapped;
}

ViStatus Vxi11Session::LockDevice(ViUInt32 timeoutMs) {
    Device_LockParms parms{};
    parms.lid = m_link;
    parms.flags = timeoutMs > 0 ? VXI11_FLAG_WAITLOCK : 0;
    parms.lock_timeout = timeoutMs;
    return CallForError(device_lock, Xdr(xdr_Device_LockParms), &parms);
}

ViStatus Vxi11Session::UnlockDevice() {
    Device_Link link = m_link;
    return CallForError(device_unlock, Xdr(xdr_Device_Link), &link);
}

}  // namespace kvt::visa
