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
// Bulk-IN data is collected in pieces of about this size.
constexpr size_t kInChunk = 16 * 1024;
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
      device_(std::move(device)),
      transport_(std::move(transport)),
      control_(*transport_, device_) {
    device_.bulkInMaxPacket = std::max<uint16_t>(device_.bulkInMaxPacket, 4);
}

// Destroying the transport releases the interface and hands it back to the kernel driver.
UsbtmcSession::~UsbtmcSession() = default;

UsbtmcSession::Clock::time_point UsbtmcSession::Deadline() const {
    return DeadlineAfter(Attributes().timeoutMs);
}

ViStatus UsbtmcSession::Start() {
    UsbStatus status = control_.GetCapabilities(capabilities_, Deadline());
    if (status == UsbStatus::Disconnected) {
        lost_ = true;
        return VI_ERROR_RSRC_NFOUND;
    }
    if (status != UsbStatus::Ok) {
        capabilities_ = usbtmc::Capabilities{};
    }
    return VI_SUCCESS;
}

ViStatus UsbtmcSession::GetAttribute(ViAttr attribute, void* value) const {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    switch (attribute) {
        case VI_ATTR_MANF_ID:
            *static_cast<ViUInt16*>(value) = device_.vendorId;
            return VI_SUCCESS;
        case VI_ATTR_MODEL_CODE:
            *static_cast<ViUInt16*>(value) = device_.productId;
            return VI_SUCCESS;
        case VI_ATTR_USB_INTFC_NUM:
            *static_cast<ViInt16*>(value) = device_.interfaceNumber;
            return VI_SUCCESS;
        case VI_ATTR_USB_SERIAL_NUM:
            CopyVisaString(device_.serial, value);
            return VI_SUCCESS;
        default:
            return Session::GetAttribute(attribute, value);
    }
}

void UsbtmcSession::AbortIo() {
    aborted_.store(true);
    transport_->Cancel();
}

ViStatus UsbtmcSession::Write(const ViByte* data, ViUInt32 count, ViUInt32& written) {
    written = 0;
    if (lost_) {
        return VI_ERROR_CONN_LOST;
    }
    if (aborted_.load()) {
        return VI_ERROR_IO;
    }
    // A new message makes the device drop any reply not read yet; so do we.
    pending_.Clear();
    Clock::time_point deadline = Deadline();
    std::string_view message(reinterpret_cast<const char*>(data), count);
    while (written < count) {
        uint32_t part = std::min(count - written, kMaxOutTransfer);
        bool last = written + part == count;
        uint8_t tag = tags_.Next();
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
    if (lost_) {
        return VI_ERROR_CONN_LOST;
    }
    if (aborted_.load()) {
        return VI_ERROR_IO;
    }
    const SessionAttributes& a = Attributes();
    Clock::time_point deadline = Deadline();
    while (!pending_.CanComplete(count, a.termCharEnabled, a.termChar)) {
        uint32_t wanted =
            std::min<uint32_t>(count - static_cast<ViUInt32>(pending_.Size()), kMaxInTransfer);
        ViStatus status = RequestTransfer(wanted, deadline);
        if (status != VI_SUCCESS) {
            // Whatever arrived before the failure is handed out with it.
            if (!pending_.Empty()) {
                pending_.Take(data, count, a.termCharEnabled, a.termChar, received);
                pending_.Clear();
            }
            return status;
        }
    }
    return pending_.Take(data, count, a.termCharEnabled, a.termChar, received);
}

ViStatus UsbtmcSession::Clear() {
    if (lost_) {
        return VI_ERROR_CONN_LOST;
    }
    pending_.Clear();
    UsbStatus status = control_.Clear(Clock::now() + kRecoveryTime);
    if (status == UsbStatus::Disconnected) {
        lost_ = true;
    }
    return ToViStatus(status);
}

ViStatus UsbtmcSession::ReadStatusByte(ViUInt16& status) {
    status = 0;
    if (lost_) {
        return VI_ERROR_CONN_LOST;
    }
    if (!capabilities_.usb488) {
        return VI_ERROR_NSUP_OPER;
    }
    statusTag_ = statusTag_ >= 127 ? uint8_t{2} : static_cast<uint8_t>(statusTag_ + 1);
    uint8_t statusByte = 0;
    UsbStatus result = control_.ReadStatusByte(statusTag_, statusByte, Deadline());
    if (result == UsbStatus::Disconnected) {
        lost_ = true;
    }
    if (result == UsbStatus::Ok) {
        status = statusByte;
    }
    return ToViStatus(result);
}

ViStatus UsbtmcSession::AssertTrigger() {
    if (lost_) {
        return VI_ERROR_CONN_LOST;
    }
    if (!capabilities_.trigger) {
        return VI_ERROR_NSUP_OPER;
    }
    uint8_t tag = tags_.Next();
    return SendTransfer(usbtmc::TriggerMessage(tag), tag, Deadline());
}

ViStatus UsbtmcSession::SendTransfer(const std::string& transfer, uint8_t tag,
                                     Clock::time_point deadline) {
    size_t sent = 0;
    UsbStatus status = transport_->BulkOut(reinterpret_cast<const uint8_t*>(transfer.data()),
                                           transfer.size(), UsbTimeoutMs(deadline), sent);
    if (status == UsbStatus::Ok && sent != transfer.size()) {
        status = UsbStatus::Error;
    }
    return status == UsbStatus::Ok ? VI_SUCCESS : RecoverOut(status, tag);
}

ViStatus UsbtmcSession::RequestTransfer(uint32_t maxSize, Clock::time_point deadline) {
    const SessionAttributes& a = Attributes();
    // The device stops at the termination character only if it can; the
    // read buffer looks for it in any case.
    bool termChar = a.termCharEnabled && capabilities_.termChar;
    uint8_t tag = tags_.Next();
    ViStatus status =
        SendTransfer(usbtmc::RequestDevDepMsgIn(tag, maxSize, termChar, a.termChar), tag, deadline);
    if (status != VI_SUCCESS) {
        return status;
    }
    return ReceiveReply(tag, maxSize, deadline);
}

ViStatus UsbtmcSession::ReceiveReply(uint8_t tag, uint32_t maxSize, Clock::time_point deadline) {
    const size_t packet = device_.bulkInMaxPacket;
    const size_t capacity = RoundUp(usbtmc::Aligned(usbtmc::kHeaderSize + maxSize), packet);
    const size_t chunk = std::max(packet, kInChunk / packet * packet);
    inBuffer_.resize(capacity);
    usbtmc::BulkHeader header;
    bool haveHeader = false;
    bool skippedEmpty = false;
    // The first packets carry the header; after it exactly the announced
    // rest is asked for, so that a reply ending on a full packet completes
    // whether or not the device follows it with a zero-length packet.
    size_t target = RoundUp(usbtmc::kHeaderSize, packet);
    size_t got = 0;
    while (got < target) {
        size_t asked = std::min({RoundUp(target - got, packet), chunk, capacity - got});
        size_t n = 0;
        UsbStatus status =
            transport_->BulkIn(inBuffer_.data() + got, asked, UsbTimeoutMs(deadline), n);
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
            if (!usbtmc::DecodeHeader(inBuffer_.data(), got, header) ||
                header.msgId != usbtmc::kDevDepMsgIn || header.tag != tag ||
                header.transferSize > maxSize) {
                return RecoverIn(UsbStatus::Error, tag);
            }
            haveHeader = true;
            target = usbtmc::Aligned(usbtmc::kHeaderSize + header.transferSize);
        }
        if (n < asked) {
            break;  // a short packet ended the transfer
        }
    }
    // A reply cut short of its header or of the data its header announces.
    if (!haveHeader || got < usbtmc::kHeaderSize + header.transferSize) {
        return RecoverIn(UsbStatus::Error, tag);
    }
    std::string_view bytes(reinterpret_cast<const char*>(inBuffer_.data()) + usbtmc::kHeaderSize,
                           header.transferSize);
    pending_.Append(bytes, (header.attributes & usbtmc::kAttrEom) != 0);
    return VI_SUCCESS;
}

ViStatus UsbtmcSession::RecoverOut(UsbStatus failure, uint8_t tag) {
    // A cancelled transfer is not recovered: the session is being given up.
    if (failure == UsbStatus::Disconnected || failure == UsbStatus::Cancelled) {
        return FinishRecovery(failure, failure);
    }
    if (failure == UsbStatus::Stall) {
        UsbStatus cleared = transport_->ClearHalt(device_.bulkOutEndpoint);
        if (cleared == UsbStatus::Disconnected) {
            return FinishRecovery(failure, cleared);
        }
    }
    Clock::time_point deadline = Clock::now() + kRecoveryTime;
    UsbStatus recovery = control_.AbortBulkOut(tag, deadline);
    if (recovery != UsbStatus::Ok && recovery != UsbStatus::Disconnected) {
        recovery = control_.Clear(deadline);
    }
    return FinishRecovery(failure, recovery);
}

ViStatus UsbtmcSession::RecoverIn(UsbStatus failure, uint8_t tag) {
    // A cancelled transfer is not recovered: the session is being given up.
    if (failure == UsbStatus::Disconnected || failure == UsbStatus::Cancelled) {
        return FinishRecovery(failure, failure);
    }
    if (failure == UsbStatus::Stall) {
        UsbStatus cleared = transport_->ClearHalt(device_.bulkInEndpoint);
        if (cleared == UsbStatus::Disconnected) {
            return FinishRecovery(failure, cleared);
        }
    }
    Clock::time_point deadline = Clock::now() + kRecoveryTime;
    UsbStatus recovery = control_.AbortBulkIn(tag, deadline);
    if (recovery != UsbStatus::Ok && recovery != UsbStatus::Disconnected) {
        recovery = control_.Clear(deadline);
    }
    return FinishRecovery(failure, recovery);
}

ViStatus UsbtmcSession::FinishRecovery(UsbStatus failure, UsbStatus recovery) {
    if (recovery == UsbStatus::Disconnected) {
        lost_ = true;
        pending_.Clear();
        return VI_ERROR_CONN_LOST;
    }
    return failure == UsbStatus::Timeout ? VI_ERROR_TMO : ToViStatus(failure);
}

}  // namespace kvt::visa
