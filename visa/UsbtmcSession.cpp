#include "visa/UsbtmcSession.h"

#include <algorithm>

#include "visa/Deadline.h"
#include "visa/VisaString.h"

namespace kvt::visa {
namespace {

// Largest message part sent in one DEV_DEP_MSG_OUT, and largest amount asked
// for in one REQUEST_DEV_DEP_MSG_IN: longer messages take several transfers.
constexpr uint32_t kMaxOutTransfer = 64 * 1024;
constexpr uint32_t kMaxInTransfer = 1024 * 1024;
// Largest transfer taken from a device that sends more than it was asked
// for; a header announcing more is taken for garbage.
constexpr uint32_t kMaxAnnouncedTransfer = 16u * 1024 * 1024;
// Bulk-IN data is collected in pieces of about this size.
constexpr size_t kInChunk = 16 * 1024;
// How long a device that marked a message's end (EOM) without the enabled
// termination character is given to send more: one that splits replies
// and sets EOM on every piece has the next piece ready at once.
constexpr auto kMoreAfterEomWait = std::chrono::milliseconds(200);
// Time allowed to abort a transfer or clear the device after a failure.
constexpr auto kRecoveryTime = std::chrono::milliseconds(2000);

size_t RoundUp(size_t length, size_t multiple) {
    return (length + multiple - 1) / multiple * multiple;
}

ViStatus ToViStatus(UsbStatus status) {
    switch (status) {
        case UsbStatus::Ok:
            return VI_SUCCESS;
        case UsbStatus::Timeout:
            return VI_ERROR_TMO;
        case UsbStatus::Disconnected:
            return VI_ERROR_CONN_LOST;
        default:
            return VI_ERROR_IO;
    }
}

}  // namespace

UsbtmcSession::UsbtmcSession(std::string resourceName, unsigned board, UsbDeviceInfo device,
                             std::unique_ptr<UsbTransport> transport)
    : Session(std::move(resourceName), VI_INTF_USB, board),
      m_device(std::move(device)),
      m_transport(std::move(transport)),
      m_control(*m_transport, m_device) {
    m_device.bulkInMaxPacket = std::max<uint16_t>(m_device.bulkInMaxPacket, 4);
}

// Destroying the transport releases the interface and hands it back to the kernel driver.
UsbtmcSession::~UsbtmcSession() = default;

UsbtmcSession::Clock::time_point UsbtmcSession::Deadline() const {
    return DeadlineAfter(Attributes().timeoutMs);
}

ViStatus UsbtmcSession::Start() {
    UsbStatus status = m_control.GetCapabilities(m_capabilities, Deadline());
    if (status == UsbStatus::Disconnected) {
        m_lost = true;
        return VI_ERROR_RSRC_NFOUND;
    }
    if (status != UsbStatus::Ok) {
        m_capabilities = usbtmc::Capabilities{};
    }
    return VI_SUCCESS;
}

ViStatus UsbtmcSession::GetAttribute(ViAttr attribute, void* value) const {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    switch (attribute) {
        case VI_ATTR_MANF_ID:
            *static_cast<ViUInt16*>(value) = m_device.vendorId;
            return VI_SUCCESS;
        case VI_ATTR_MODEL_CODE:
            *static_cast<ViUInt16*>(value) = m_device.productId;
            return VI_SUCCESS;
        case VI_ATTR_USB_INTFC_NUM:
            *static_cast<ViInt16*>(value) = m_device.interfaceNumber;
            return VI_SUCCESS;
        case VI_ATTR_USB_SERIAL_NUM:
            CopyVisaString(m_device.serial, value);
            return VI_SUCCESS;
        default:
            return Session::GetAttribute(attribute, value);
    }
}

void UsbtmcSession::AbortIo() {
    m_aborted.store(true);
    m_transport->Cancel();
}

ViStatus UsbtmcSession::Write(const ViByte* data, ViUInt32 count, ViUInt32& written) {
    written = 0;
    if (m_lost) {
        return VI_ERROR_CONN_LOST;
    }
    if (m_aborted.load()) {
        return VI_ERROR_IO;
    }
    // A new message makes the device drop any reply not read yet; so do we.
    DiscardInput();
    Clock::time_point deadline = Deadline();
    std::string_view message(reinterpret_cast<const char*>(data), count);
    while (written < count) {
        uint32_t part = std::min(count - written, kMaxOutTransfer);
        bool last = written + part == count;
        uint8_t tag = m_tags.Next();
        std::string transfer = usbtmc::DevDepMsgOut(tag, message.substr(written, part),
                                                    last && Attributes().sendEndEnabled);
        ViStatus status = SendTransfer(transfer, tag, deadline);
        if (status != VI_SUCCESS) {
            return status;
        }
        written += part;
    }
    return VI_SUCCESS;
}

ViStatus UsbtmcSession::Read(ViByte* data, ViUInt32 count, ViUInt32& received) {
    received = 0;
    if (m_lost) {
        return VI_ERROR_CONN_LOST;
    }
    if (m_aborted.load()) {
        return VI_ERROR_IO;
    }
    const SessionAttributes& a = Attributes();
    Clock::time_point deadline = Deadline();
    while (!m_pending.CanComplete(count, a.termCharEnabled, a.termChar)) {
        uint32_t wanted =
            std::min<uint32_t>(count - static_cast<ViUInt32>(m_pending.Size()), kMaxInTransfer);
        // After EOM without the termination character the device is asked
        // once more; if no reply begins within a moment, the message was whole.
        const bool mayHaveMore = m_eomWithoutTermChar;
        Clock::time_point replyBy =
            mayHaveMore ? std::min(deadline, Clock::now() + kMoreAfterEomWait) : deadline;
        ViStatus status = RequestTransfer(wanted, replyBy, deadline);
        if (mayHaveMore && status == VI_ERROR_TMO) {
            m_eomWithoutTermChar = false;
            m_pending.Append({}, true);
            continue;
        }
        if (status != VI_SUCCESS) {
            // Whatever arrived before the failure is handed out with it.
            if (!m_pending.Empty()) {
                m_pending.Take(data, count, a.termCharEnabled, a.termChar, received);
                DiscardInput();
            }
            return status;
        }
    }
    return m_pending.Take(data, count, a.termCharEnabled, a.termChar, received);
}

ViStatus UsbtmcSession::Clear() {
    if (m_lost) {
        return VI_ERROR_CONN_LOST;
    }
    DiscardInput();
    UsbStatus status = m_control.Clear(Clock::now() + kRecoveryTime);
    if (status == UsbStatus::Disconnected) {
        m_lost = true;
    }
    return ToViStatus(status);
}

ViStatus UsbtmcSession::ReadStatusByte(ViUInt16& status) {
    status = 0;
    if (m_lost) {
        return VI_ERROR_CONN_LOST;
    }
    if (!m_capabilities.usb488) {
        return VI_ERROR_NSUP_OPER;
    }
    m_statusTag = m_statusTag >= 127 ? uint8_t{2} : static_cast<uint8_t>(m_statusTag + 1);
    uint8_t statusByte = 0;
    UsbStatus result = m_control.ReadStatusByte(m_statusTag, statusByte, Deadline());
    if (result == UsbStatus::Disconnected) {
        m_lost = true;
    }
    if (result == UsbStatus::Ok) {
        status = statusByte;
    }
    return ToViStatus(result);
}

ViStatus UsbtmcSession::AssertTrigger() {
    if (m_lost) {
        return VI_ERROR_CONN_LOST;
    }
    if (!m_capabilities.trigger) {
        return VI_ERROR_NSUP_OPER;
    }
    uint8_t tag = m_tags.Next();
    return SendTransfer(usbtmc::TriggerMessage(tag), tag, Deadline());
}

ViStatus UsbtmcSession::SendTransfer(const std::string& transfer, uint8_t tag,
                                     Clock::time_point deadline) {
    size_t sent = 0;
    UsbStatus status = m_transport->BulkOut(reinterpret_cast<const uint8_t*>(transfer.data()),
                                            transfer.size(), UsbTimeoutMs(deadline), sent);
    if (status == UsbStatus::Ok && sent != transfer.size()) {
        status = UsbStatus::Error;
    }
    return status == UsbStatus::Ok ? VI_SUCCESS : RecoverOut(status, tag);
}

ViStatus UsbtmcSession::RequestTransfer(uint32_t maxSize, Clock::time_point replyBy,
                                        Clock::time_point deadline) {
    const SessionAttributes& a = Attributes();
    // The device stops at the termination character only if it can; the
    // read buffer looks for it in any case.
    bool termChar = a.termCharEnabled && m_capabilities.termChar;
    uint8_t tag = m_tags.Next();
    ViStatus status =
        SendTransfer(usbtmc::RequestDevDepMsgIn(tag, maxSize, termChar, a.termChar), tag, deadline);
    if (status != VI_SUCCESS) {
        return status;
    }
    return ReceiveReply(tag, maxSize, replyBy, deadline);
}

ViStatus UsbtmcSession::ReceiveReply(uint8_t tag, uint32_t maxSize, Clock::time_point replyBy,
                                     Clock::time_point deadline) {
    const size_t packet = m_device.bulkInMaxPacket;
    const size_t chunk = std::max(packet, kInChunk / packet * packet);
    // A buffer grown for an oversized transfer is not kept beyond it.
    const size_t capacity = RoundUp(usbtmc::Aligned(usbtmc::kHeaderSize + maxSize), packet);
    if (m_inBuffer.capacity() > RoundUp(usbtmc::kHeaderSize + kMaxInTransfer + 3, packet)) {
        std::vector<uint8_t>().swap(m_inBuffer);
    }
    m_inBuffer.resize(capacity);
    usbtmc::BulkHeader header;
    bool haveHeader = false;
    bool skippedEmpty = false;
    // The first packets carry the header; after it exactly the announced
    // rest is asked for, so that a reply ending on a full packet completes
    // whether or not the device follows it with a zero-length packet.
    size_t target = RoundUp(usbtmc::kHeaderSize, packet);
    size_t got = 0;
    while (got < target) {
        size_t asked = std::min({RoundUp(target - got, packet), chunk, m_inBuffer.size() - got});
        size_t n = 0;
        UsbStatus status = m_transport->BulkIn(m_inBuffer.data() + got, asked,
                                               UsbTimeoutMs(got == 0 ? replyBy : deadline), n);
        if (status != UsbStatus::Ok) {
            return RecoverIn(status, tag);
        }
        if (got == 0 && n == 0 && !skippedEmpty) {
            // The zero-length packet that ended the previous reply after a
            // full last packet: not part of this one.
            skippedEmpty = true;
            continue;
        }
        got += std::min(n, asked);
        if (!haveHeader && got >= usbtmc::kHeaderSize) {
            if (!usbtmc::DecodeHeader(m_inBuffer.data(), got, header) ||
                header.msgId != usbtmc::kDevDepMsgIn || header.tag != tag ||
                header.transferSize > kMaxAnnouncedTransfer) {
                return RecoverIn(UsbStatus::Error, tag);
            }
            haveHeader = true;
            target = usbtmc::Aligned(usbtmc::kHeaderSize + header.transferSize);
            // Some devices ignore the size asked for and send a long reply
            // in one transfer: it is read whole, and what the caller cannot
            // take stays in m_pending for the next read.
            if (RoundUp(target, packet) > m_inBuffer.size()) {
                m_inBuffer.resize(RoundUp(target, packet));
            }
        }
        if (n < asked) {
            break;  // a short packet ended the transfer
        }
    }
    // A reply cut short of its header or of the data its header announces.
    if (!haveHeader || got < usbtmc::kHeaderSize + header.transferSize) {
        return RecoverIn(UsbStatus::Error, tag);
    }
    std::string_view bytes(reinterpret_cast<const char*>(m_inBuffer.data()) + usbtmc::kHeaderSize,
                           header.transferSize);
    // EOM ends the message, as the standard says. Some devices set it on
    // every transfer, also on the pieces of a reply they split; so with the
    // termination character enabled, EOM on data that do not end with it
    // is not trusted: Read asks for more until the data end with it, or the
    // device answers with nothing (an empty transfer, or none in time).
    const SessionAttributes& a = Attributes();
    bool eom = (header.attributes & usbtmc::kAttrEom) != 0;
    m_eomWithoutTermChar = eom && a.termCharEnabled && !bytes.empty() &&
                           static_cast<uint8_t>(bytes.back()) != a.termChar;
    m_pending.Append(bytes, eom && !m_eomWithoutTermChar);
    return VI_SUCCESS;
}

ViStatus UsbtmcSession::RecoverOut(UsbStatus failure, uint8_t tag) {
    // A cancelled transfer is not recovered: the session is being given up.
    if (failure == UsbStatus::Disconnected || failure == UsbStatus::Cancelled) {
        return FinishRecovery(failure, failure);
    }
    if (failure == UsbStatus::Stall) {
        UsbStatus cleared = m_transport->ClearHalt(m_device.bulkOutEndpoint);
        if (cleared == UsbStatus::Disconnected) {
            return FinishRecovery(failure, cleared);
        }
    }
    Clock::time_point deadline = Clock::now() + kRecoveryTime;
    UsbStatus recovery = m_control.AbortBulkOut(tag, deadline);
    if (recovery != UsbStatus::Ok && recovery != UsbStatus::Disconnected) {
        recovery = m_control.Clear(deadline);
    }
    return FinishRecovery(failure, recovery);
}

ViStatus UsbtmcSession::RecoverIn(UsbStatus failure, uint8_t tag) {
    // A cancelled transfer is not recovered: the session is being given up.
    if (failure == UsbStatus::Disconnected || failure == UsbStatus::Cancelled) {
        return FinishRecovery(failure, failure);
    }
    if (failure == UsbStatus::Stall) {
        UsbStatus cleared = m_transport->ClearHalt(m_device.bulkInEndpoint);
        if (cleared == UsbStatus::Disconnected) {
            return FinishRecovery(failure, cleared);
        }
    }
    Clock::time_point deadline = Clock::now() + kRecoveryTime;
    UsbStatus recovery = m_control.AbortBulkIn(tag, deadline);
    if (recovery != UsbStatus::Ok && recovery != UsbStatus::Disconnected) {
        recovery = m_control.Clear(deadline);
    }
    return FinishRecovery(failure, recovery);
}

ViStatus UsbtmcSession::FinishRecovery(UsbStatus failure, UsbStatus recovery) {
    if (recovery == UsbStatus::Disconnected) {
        m_lost = true;
        DiscardInput();
        return VI_ERROR_CONN_LOST;
    }
    return failure == UsbStatus::Timeout ? VI_ERROR_TMO : ToViStatus(failure);
}

}  // namespace kvt::visa
