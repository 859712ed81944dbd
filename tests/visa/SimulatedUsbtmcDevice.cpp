#include "tests/visa/SimulatedUsbtmcDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace kvt::visa {
namespace {

// Written from the USBTMC tables directly rather than with the host's
// encoder, so that both sides do not share a mistake.
uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLe32(std::string& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<char>(value >> (8 * i));
    }
}

constexpr uint8_t kSuccess = 0x01, kPending = 0x02, kFailed = 0x80, kNotInProgress = 0x81;

template <typename Lock, typename Pred>
bool WaitFor(std::condition_variable& cv, Lock& lock, unsigned timeoutMs, Pred pred) {
    if (timeoutMs == kUsbNoTimeout) {
        cv.wait(lock, pred);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}

}  // namespace

SimulatedUsbtmcDevice::SimulatedUsbtmcDevice(std::shared_ptr<MessageDevice> device,
                                             UsbDeviceInfo info, bool termCharCapable)
    : device_(std::move(device)), info_(std::move(info)), termCharCapable_(termCharCapable) {}

UsbStatus SimulatedUsbtmcDevice::RejectLocked() {
    ++rejected_;
    return UsbStatus::Stall;
}

UsbStatus SimulatedUsbtmcDevice::BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                                         size_t& transferred) {
    transferred = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    if (cancelled_) {
        ++callsAfterCancel_;
        return UsbStatus::Cancelled;
    }
    if (unplugged_) {
        return UsbStatus::Disconnected;
    }
    if (stallOut_) {
        stallOut_ = false;
        outHalted_ = true;
    }
    if (outHalted_) {
        return UsbStatus::Stall;
    }
    size_t packet = info_.bulkOutMaxPacket;
    if (acceptOut_) {
        // The device takes some packets, then NAKs until the host gives up.
        size_t accepted = std::min(length, *acceptOut_ / packet * packet);
        acceptOut_.reset();
        outPackets_ += accepted / packet;
        outTransferTag_ = length >= 2 ? data[1] : 0;
        transferred = accepted;
        WaitFor(changed_, lock, timeoutMs, [&] { return unplugged_ || cancelled_; });
        return unplugged_ ? UsbStatus::Disconnected
                          : (cancelled_ ? UsbStatus::Cancelled : UsbStatus::Timeout);
    }
    outPackets_ += std::max<size_t>(1, (length + packet - 1) / packet);
    transferred = length;
    UsbStatus status = HandleOutLocked(data, length);
    changed_.notify_all();
    return status;
}

UsbStatus SimulatedUsbtmcDevice::HandleOutLocked(const uint8_t* data, size_t length) {
    // A malformed header halts the endpoint; the packets were taken already.
    if (length < 12 || data[1] == 0 || data[2] != static_cast<uint8_t>(~data[1]) || data[3] != 0) {
        ++rejected_;
        outHalted_ = true;
        return UsbStatus::Ok;
    }
    OutHeader h{data[0], data[1], Le32(data + 4), data[8], data[9], length};
    outHeaders_.push_back(h);
    if (h.msgId == 1) {
        bool padded = length == ((12 + size_t{h.transferSize} + 3) & ~size_t{3});
        if (h.transferSize == 0 || !padded || (h.attributes & ~1u) != 0 || data[9] != 0 ||
            data[10] != 0 || data[11] != 0) {
            ++rejected_;
            outHalted_ = true;
            return UsbStatus::Ok;
        }
        partialMessage_.append(reinterpret_cast<const char*>(data) + 12, h.transferSize);
        if ((h.attributes & 1) != 0) {
            // A new message makes the device drop an unread reply.
            output_.clear();
            request_.reset();
            messages_.push_back(partialMessage_);
            device_->ReceiveMessage(partialMessage_);
            partialMessage_.clear();
        }
        return UsbStatus::Ok;
    }
    if (h.msgId == 2) {
        bool termChar = (h.attributes & 2) != 0;
        if (length != 12 || h.transferSize == 0 || (h.attributes & ~2u) != 0 ||
            (termChar && !termCharCapable_) || (!termChar && data[9] != 0) || data[10] != 0 ||
            data[11] != 0) {
            ++rejected_;
            outHalted_ = true;
            return UsbStatus::Ok;
        }
        request_ = Request{h.tag, h.transferSize, termChar, data[9]};
        if (output_.empty()) {
            output_ = device_->TakeResponse();
        }
        return UsbStatus::Ok;
    }
    if (h.msgId == 128 && length == 12 && h.transferSize == 0) {  // USB488 TRIGGER
        ++triggers_;
        return UsbStatus::Ok;
    }
    ++rejected_;
    outHalted_ = true;
    return UsbStatus::Ok;
}

void SimulatedUsbtmcDevice::BuildReplyLocked() {
    Request r = *request_;
    request_.reset();
    size_t n = std::min<size_t>({r.size, output_.size(), maxReply_});
    uint8_t attributes = 0;
    if (r.termCharEnabled) {
        size_t term = output_.find(static_cast<char>(r.termChar));
        if (term != std::string::npos && term < n) {
            n = term + 1;
            attributes |= 2;
        }
    }
    if (n == output_.size()) {
        attributes |= 1;
    }
    size_t announced = n;
    if (oversize_) {
        oversize_ = false;
        announced = std::min<size_t>(output_.size(), size_t{r.size} + 8);
        n = announced;
    }
    uint8_t tag = r.tag;
    if (wrongTag_) {
        wrongTag_ = false;
        tag = static_cast<uint8_t>(tag == 255 ? 1 : tag + 1);
    }
    std::string transfer((12 + n + 3) & ~size_t{3}, '\0');
    transfer[0] = 2;
    transfer[1] = static_cast<char>(tag);
    transfer[2] = static_cast<char>(~tag);
    PutLe32(transfer, 4, static_cast<uint32_t>(announced));
    transfer[8] = static_cast<char>(attributes);
    std::memcpy(transfer.data() + 12, output_.data(), n);
    output_.erase(0, n);
    if (truncateReply_) {
        transfer.resize(std::min(transfer.size(), *truncateReply_));
        truncateReply_.reset();
    }
    inTransferTag_ = r.tag;
    QueuePacketsLocked(transfer);
}

void SimulatedUsbtmcDevice::QueuePacketsLocked(const std::string& transfer) {
    size_t packet = info_.bulkInMaxPacket;
    for (size_t at = 0; at < transfer.size(); at += packet) {
        inPackets_.push_back(transfer.substr(at, packet));
    }
    if (transfer.size() % packet == 0 && (zlpAfterFullEnd_ || transfer.empty())) {
        inPackets_.push_back(std::string());  // ends the transfer
    }
}

UsbStatus SimulatedUsbtmcDevice::BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                        size_t& transferred) {
    transferred = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    if (cancelled_) {
        ++callsAfterCancel_;
        return UsbStatus::Cancelled;
    }
    if (stallIn_ && !unplugged_) {
        stallIn_ = false;
        inHalted_ = true;
    }
    auto ready = [&] {
        return unplugged_ || cancelled_ || inHalted_ ||
               (!paused_ &&
                (!inPackets_.empty() || (request_ && !ignoreRequest_ && !output_.empty())));
    };
    if (!ready()) {
        blockedInBulkIn_ = true;
        changed_.notify_all();
        bool woken = WaitFor(changed_, lock, timeoutMs, ready);
        blockedInBulkIn_ = false;
        if (!woken) {
            return UsbStatus::Timeout;
        }
    }
    if (unplugged_) {
        return UsbStatus::Disconnected;
    }
    if (cancelled_) {
        return UsbStatus::Cancelled;
    }
    if (inHalted_) {
        return UsbStatus::Stall;
    }
    if (inPackets_.empty()) {
        BuildReplyLocked();
    }
    // A full buffer completes the host's transfer; a zero-length packet
    // still queued stays for the next one.
    while (!inPackets_.empty() && transferred < length) {
        const std::string& packet = inPackets_.front();
        if (packet.size() > length - transferred) {
            if (transferred == 0) {
                return UsbStatus::Overflow;  // the host's buffer cannot take a packet
            }
            break;
        }
        std::memcpy(data + transferred, packet.data(), packet.size());
        transferred += packet.size();
        bool shortPacket = packet.size() < info_.bulkInMaxPacket;
        inPackets_.pop_front();
        ++inPacketsSent_;
        if (unplugAfter_ && --*unplugAfter_ == 0) {
            unplugAfter_.reset();
            unplugged_ = true;
            changed_.notify_all();
            return UsbStatus::Disconnected;
        }
        if (shortPacket) {
            break;
        }
        if (pauseAfter_ && --*pauseAfter_ == 0) {
            pauseAfter_.reset();
            paused_ = true;
            WaitFor(changed_, lock, timeoutMs, [&] { return unplugged_ || cancelled_; });
            return unplugged_ ? UsbStatus::Disconnected
                              : (cancelled_ ? UsbStatus::Cancelled : UsbStatus::Timeout);
        }
    }
    return UsbStatus::Ok;
}

UsbStatus SimulatedUsbtmcDevice::ReplyLocked(uint8_t* data, uint16_t length,
                                             std::vector<uint8_t> reply, size_t& transferred) {
    transferred = std::min<size_t>(length, reply.size());
    std::memcpy(data, reply.data(), transferred);
    return UsbStatus::Ok;
}

void SimulatedUsbtmcDevice::ResetIoLocked() {
    output_.clear();
    inPackets_.clear();
    request_.reset();
    ignoreRequest_ = false;
    paused_ = false;
}

UsbStatus SimulatedUsbtmcDevice::ControlIn(uint8_t requestType, uint8_t request, uint16_t value,
                                           uint16_t index, uint8_t* data, uint16_t length,
                                           unsigned /*timeoutMs*/, size_t& transferred) {
    transferred = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) {
        ++callsAfterCancel_;
        return UsbStatus::Cancelled;
    }
    if (unplugged_) {
        return UsbStatus::Disconnected;
    }
    controlRequests_.push_back(request);
    bool toInterface = requestType == 0xA1 && index == info_.interfaceNumber;
    bool toIn = requestType == 0xA2 && index == info_.bulkInEndpoint;
    bool toOut = requestType == 0xA2 && index == info_.bulkOutEndpoint;
    uint8_t tag = static_cast<uint8_t>(value);
    switch (request) {
        case 7: {  // GET_CAPABILITIES
            if (!toInterface || length != 0x18) {
                return RejectLocked();
            }
            std::vector<uint8_t> reply(0x18, 0);
            reply[0] = kSuccess;
            reply[2] = 0x00;  // bcdUSBTMC 1.00
            reply[3] = 0x01;
            reply[5] = termCharCapable_ ? 0x01 : 0x00;
            reply[14] = 0x01;  // USB488: accepts TRIGGER
            reply[12] = 0x00;  // bcdUSB488 1.00
            reply[13] = 0x01;
            return ReplyLocked(data, length, reply, transferred);
        }
        case 128: {  // USB488 READ_STATUS_BYTE
            if (!toInterface || length != 3 || tag < 2 || tag > 127) {
                return RejectLocked();
            }
            // With an interrupt-IN endpoint the byte comes there.
            uint8_t stb = device_->StatusByte();
            if (info_.interruptInEndpoint != 0) {
                notifications_.push_back({static_cast<uint8_t>(0x80 | tag), stb});
                changed_.notify_all();
                return ReplyLocked(data, length, {kSuccess, tag, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, tag, stb}, transferred);
        }
        case 3: {  // INITIATE_ABORT_BULK_IN
            if (!toIn || length != 2 || value > 0xFF) {
                return RejectLocked();
            }
            uint8_t status = kNotInProgress;
            if (refuseAbort_) {
                refuseAbort_ = false;
            } else if ((request_ && request_->tag == tag) ||
                       (!inPackets_.empty() && inTransferTag_ == tag)) {
                status = kSuccess;
                ResetIoLocked();
                inPackets_.push_back(std::string());  // the short packet ending the transfer
                abortInPolls_ = statusPolls_;
            } else if (!request_ && inPackets_.empty()) {
                status = kFailed;
            }
            return ReplyLocked(data, length, {status, tag}, transferred);
        }
        case 4:  // CHECK_ABORT_BULK_IN_STATUS
            if (!toIn || length != 8) {
                return RejectLocked();
            }
            if (abortInPolls_ > 0) {
                --abortInPolls_;
                uint8_t fifo = inPackets_.empty() ? 0 : 1;
                return ReplyLocked(data, length, {kPending, fifo, 0, 0, 0, 0, 0, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, 0, 0, 0, 0, 0, 0, 0}, transferred);
        case 1: {  // INITIATE_ABORT_BULK_OUT
            if (!toOut || length != 2 || value > 0xFF) {
                return RejectLocked();
            }
            uint8_t status = kFailed;
            if (outTransferTag_ && *outTransferTag_ == tag) {
                status = kSuccess;
                outTransferTag_.reset();
                partialMessage_.clear();
                outHalted_ = true;  // until the host clears the halt
                abortOutPolls_ = statusPolls_;
            } else if (outTransferTag_) {
                status = kNotInProgress;
            }
            return ReplyLocked(data, length, {status, tag}, transferred);
        }
        case 2:  // CHECK_ABORT_BULK_OUT_STATUS
            if (!toOut || length != 8) {
                return RejectLocked();
            }
            if (abortOutPolls_ > 0) {
                --abortOutPolls_;
                return ReplyLocked(data, length, {kPending, 0, 0, 0, 0, 0, 0, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, 0, 0, 0, 0, 0, 0, 0}, transferred);
        case 5:  // INITIATE_CLEAR
            if (!toInterface || length != 1) {
                return RejectLocked();
            }
            device_->DeviceClear();
            ResetIoLocked();
            partialMessage_.clear();
            outTransferTag_.reset();
            outHalted_ = true;
            clearPolls_ = statusPolls_;
            return ReplyLocked(data, length, {kSuccess}, transferred);
        case 6:  // CHECK_CLEAR_STATUS
            if (!toInterface || length != 2) {
                return RejectLocked();
            }
            if (clearPolls_ > 0) {
                --clearPolls_;
                return ReplyLocked(data, length, {kPending, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, 0}, transferred);
        default:
            return RejectLocked();
    }
}

UsbStatus SimulatedUsbtmcDevice::ClearHalt(uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) {
        ++callsAfterCancel_;
        return UsbStatus::Cancelled;
    }
    if (unplugged_) {
        return UsbStatus::Disconnected;
    }
    clearedHalts_.push_back(endpoint);
    if (endpoint == info_.bulkOutEndpoint) {
        outHalted_ = false;
    } else if (endpoint == info_.bulkInEndpoint) {
        inHalted_ = false;
    } else {
        return RejectLocked();
    }
    return UsbStatus::Ok;
}

#define KVT_LOCKED(expr)                          \
    do {                                          \
        std::lock_guard<std::mutex> lock(mutex_); \
        expr;                                     \
    } while (false)

void SimulatedUsbtmcDevice::StallNextBulkIn() {
    KVT_LOCKED(stallIn_ = true);
}
void SimulatedUsbtmcDevice::StallNextBulkOut() {
    KVT_LOCKED(stallOut_ = true);
}
void SimulatedUsbtmcDevice::AnswerWrongTagOnce() {
    KVT_LOCKED(wrongTag_ = true);
}
void SimulatedUsbtmcDevice::TruncateNextReply(size_t bytes) {
    KVT_LOCKED(truncateReply_ = bytes);
}
void SimulatedUsbtmcDevice::AnnounceOversizeOnce() {
    KVT_LOCKED(oversize_ = true);
}
void SimulatedUsbtmcDevice::IgnoreNextRequest() {
    KVT_LOCKED(ignoreRequest_ = true);
}
void SimulatedUsbtmcDevice::AcceptOnlyNextOut(size_t bytes) {
    KVT_LOCKED(acceptOut_ = bytes);
}
void SimulatedUsbtmcDevice::UnplugAfterInPackets(size_t n) {
    KVT_LOCKED(unplugAfter_ = n);
}
void SimulatedUsbtmcDevice::PauseAfterInPackets(size_t n) {
    KVT_LOCKED(pauseAfter_ = n);
}
void SimulatedUsbtmcDevice::RefuseNextAbort() {
    KVT_LOCKED(refuseAbort_ = true);
}
void SimulatedUsbtmcDevice::SetMaxReplySize(uint32_t bytes) {
    KVT_LOCKED(maxReply_ = bytes);
}
void SimulatedUsbtmcDevice::SetStatusPolls(unsigned polls) {
    KVT_LOCKED(statusPolls_ = polls);
}
void SimulatedUsbtmcDevice::SetZeroLengthPacketAfterFullEnd(bool on) {
    KVT_LOCKED(zlpAfterFullEnd_ = on);
}
void SimulatedUsbtmcDevice::SetClaimed(bool claimed) {
    std::lock_guard<std::mutex> lock(mutex_);
    claimed_ = claimed;
    if (claimed) {
        cancelled_ = false;  // a new handle
        callsAfterCancel_ = 0;
    }
}

void SimulatedUsbtmcDevice::Unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugged_ = true;
    changed_.notify_all();
}

bool SimulatedUsbtmcDevice::WaitForBlockedBulkIn(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return WaitFor(changed_, lock, timeoutMs, [&] { return blockedInBulkIn_; });
}

bool SimulatedUsbtmcDevice::Claimed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return claimed_;
}

std::vector<SimulatedUsbtmcDevice::OutHeader> SimulatedUsbtmcDevice::OutHeaders() {
    std::lock_guard<std::mutex> lock(mutex_);
    return outHeaders_;
}

std::vector<uint8_t> SimulatedUsbtmcDevice::ControlRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return controlRequests_;
}

std::vector<uint8_t> SimulatedUsbtmcDevice::ClearedHalts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return clearedHalts_;
}

std::vector<std::string> SimulatedUsbtmcDevice::Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

size_t SimulatedUsbtmcDevice::BulkOutPackets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return outPackets_;
}

size_t SimulatedUsbtmcDevice::BulkInPackets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inPacketsSent_;
}

size_t SimulatedUsbtmcDevice::Rejected() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rejected_;
}

UsbStatus SimulatedUsbtmcDevice::InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                             size_t& transferred) {
    transferred = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    if (cancelled_) {
        ++callsAfterCancel_;
        return UsbStatus::Cancelled;
    }
    WaitFor(changed_, lock, timeoutMs,
            [&] { return unplugged_ || cancelled_ || !notifications_.empty(); });
    if (unplugged_) {
        return UsbStatus::Disconnected;
    }
    if (cancelled_) {
        return UsbStatus::Cancelled;
    }
    if (notifications_.empty()) {
        return UsbStatus::Timeout;
    }
    std::vector<uint8_t> notification = std::move(notifications_.front());
    notifications_.pop_front();
    transferred = std::min(length, notification.size());
    std::memcpy(data, notification.data(), transferred);
    return UsbStatus::Ok;
}

size_t SimulatedUsbtmcDevice::Triggers() {
    std::lock_guard<std::mutex> lock(mutex_);
    return triggers_;
}

void SimulatedUsbtmcDevice::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}

size_t SimulatedUsbtmcDevice::CallsAfterCancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    return callsAfterCancel_;
}

}  // namespace kvt::visa
