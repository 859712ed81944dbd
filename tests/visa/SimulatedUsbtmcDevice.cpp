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
    : m_device(std::move(device)), m_info(std::move(info)), m_termCharCapable(termCharCapable) {}

UsbStatus SimulatedUsbtmcDevice::RejectLocked() {
    ++m_rejected;
    return UsbStatus::Stall;
}

UsbStatus SimulatedUsbtmcDevice::BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                                         size_t& transferred) {
    transferred = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        ++m_callsAfterCancel;
        return UsbStatus::Cancelled;
    }
    if (m_unplugged) {
        return UsbStatus::Disconnected;
    }
    if (m_stallOut) {
        m_stallOut = false;
        m_outHalted = true;
    }
    if (m_outHalted) {
        return UsbStatus::Stall;
    }
    size_t packet = m_info.bulkOutMaxPacket;
    if (m_acceptOut) {
        // The device takes some packets, then NAKs until the host gives up.
        size_t accepted = std::min(length, *m_acceptOut / packet * packet);
        m_acceptOut.reset();
        m_outPackets += accepted / packet;
        m_outTransferTag = length >= 2 ? data[1] : 0;
        transferred = accepted;
        WaitFor(m_changed, lock, timeoutMs, [&] { return m_unplugged || m_cancelled; });
        return m_unplugged ? UsbStatus::Disconnected
                           : (m_cancelled ? UsbStatus::Cancelled : UsbStatus::Timeout);
    }
    m_outPackets += std::max<size_t>(1, (length + packet - 1) / packet);
    transferred = length;
    UsbStatus status = HandleOutLocked(data, length);
    m_changed.notify_all();
    return status;
}

UsbStatus SimulatedUsbtmcDevice::HandleOutLocked(const uint8_t* data, size_t length) {
    // A malformed header halts the endpoint; the packets were taken already.
    if (length < 12 || data[1] == 0 || data[2] != static_cast<uint8_t>(~data[1]) || data[3] != 0) {
        ++m_rejected;
        m_outHalted = true;
        return UsbStatus::Ok;
    }
    OutHeader h{data[0], data[1], Le32(data + 4), data[8], data[9], length};
    m_outHeaders.push_back(h);
    if (h.msgId == 1) {
        bool padded = length == ((12 + size_t{h.transferSize} + 3) & ~size_t{3});
        if (h.transferSize == 0 || !padded || (h.attributes & ~1u) != 0 || data[9] != 0 ||
            data[10] != 0 || data[11] != 0) {
            ++m_rejected;
            m_outHalted = true;
            return UsbStatus::Ok;
        }
        m_partialMessage.append(reinterpret_cast<const char*>(data) + 12, h.transferSize);
        if ((h.attributes & 1) != 0) {
            // A new message makes the device drop an unread reply.
            m_output.clear();
            m_request.reset();
            m_messages.push_back(m_partialMessage);
            m_device->ReceiveMessage(m_partialMessage);
            m_partialMessage.clear();
        }
        return UsbStatus::Ok;
    }
    if (h.msgId == 2) {
        bool termChar = (h.attributes & 2) != 0;
        if (length != 12 || h.transferSize == 0 || (h.attributes & ~2u) != 0 ||
            (termChar && !m_termCharCapable) || (!termChar && data[9] != 0) || data[10] != 0 ||
            data[11] != 0) {
            ++m_rejected;
            m_outHalted = true;
            return UsbStatus::Ok;
        }
        m_request = Request{h.tag, h.transferSize, termChar, data[9]};
        if (m_output.empty()) {
            m_output = m_device->TakeResponse();
        }
        return UsbStatus::Ok;
    }
    if (h.msgId == 128 && length == 12 && h.transferSize == 0) {  // USB488 TRIGGER
        ++m_triggers;
        return UsbStatus::Ok;
    }
    ++m_rejected;
    m_outHalted = true;
    return UsbStatus::Ok;
}

void SimulatedUsbtmcDevice::BuildReplyLocked() {
    Request r = *m_request;
    m_request.reset();
    size_t asked = m_ignoreRequestedSize ? m_output.size() : size_t{r.size};
    size_t n = std::min<size_t>({asked, m_output.size(), m_maxReply});
    uint8_t attributes = 0;
    if (r.termCharEnabled) {
        size_t term = m_output.find(static_cast<char>(r.termChar));
        if (term != std::string::npos && term < n) {
            n = term + 1;
            attributes |= 2;
        }
    }
    if (n == m_output.size() || m_eomOnEveryTransfer) {
        attributes |= 1;
    }
    size_t announced = n;
    if (m_announce) {
        announced = *m_announce;
        m_announce.reset();
    }
    uint8_t tag = r.tag;
    if (m_wrongTag) {
        m_wrongTag = false;
        tag = static_cast<uint8_t>(tag == 255 ? 1 : tag + 1);
    }
    std::string transfer((12 + n + 3) & ~size_t{3}, '\0');
    transfer[0] = 2;
    transfer[1] = static_cast<char>(tag);
    transfer[2] = static_cast<char>(~tag);
    PutLe32(transfer, 4, static_cast<uint32_t>(announced));
    transfer[8] = static_cast<char>(attributes);
    std::memcpy(transfer.data() + 12, m_output.data(), n);
    m_output.erase(0, n);
    if (m_truncateReply) {
        transfer.resize(std::min(transfer.size(), *m_truncateReply));
        m_truncateReply.reset();
    }
    m_inTransferTag = r.tag;
    QueuePacketsLocked(transfer);
}

void SimulatedUsbtmcDevice::QueuePacketsLocked(const std::string& transfer) {
    size_t packet = m_info.bulkInMaxPacket;
    for (size_t at = 0; at < transfer.size(); at += packet) {
        m_inPackets.push_back(transfer.substr(at, packet));
    }
    if (transfer.size() % packet == 0 && (m_zlpAfterFullEnd || transfer.empty())) {
        m_inPackets.push_back(std::string());  // ends the transfer
    }
}

UsbStatus SimulatedUsbtmcDevice::BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                        size_t& transferred) {
    transferred = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        ++m_callsAfterCancel;
        return UsbStatus::Cancelled;
    }
    if (m_stallIn && !m_unplugged) {
        m_stallIn = false;
        m_inHalted = true;
    }
    auto ready = [&] {
        return m_unplugged || m_cancelled || m_inHalted ||
               (!m_paused && (!m_inPackets.empty() || (m_request && !m_ignoreRequest &&
                                                       (!m_output.empty() || m_answerIdleEmpty))));
    };
    // The host's transfer lasts until a short packet or a full buffer;
    // while the device has nothing queued it NAKs, and the host waits.
    while (true) {
        if (!ready()) {
            m_blockedInBulkIn = true;
            m_changed.notify_all();
            bool woken = WaitFor(m_changed, lock, timeoutMs, ready);
            m_blockedInBulkIn = false;
            if (!woken) {
                return UsbStatus::Timeout;  // what arrived so far stays in transferred
            }
        }
        if (m_unplugged) {
            return UsbStatus::Disconnected;
        }
        if (m_cancelled) {
            return UsbStatus::Cancelled;
        }
        if (m_inHalted) {
            return UsbStatus::Stall;
        }
        if (m_inPackets.empty()) {
            BuildReplyLocked();
        }
        // A full buffer completes the host's transfer; a zero-length packet
        // still queued stays for the next one.
        while (!m_inPackets.empty() && transferred < length) {
            const std::string& packet = m_inPackets.front();
            if (packet.size() > length - transferred) {
                if (transferred == 0) {
                    return UsbStatus::Overflow;  // the host's buffer cannot take a packet
                }
                return UsbStatus::Ok;
            }
            std::memcpy(data + transferred, packet.data(), packet.size());
            transferred += packet.size();
            bool shortPacket = packet.size() < m_info.bulkInMaxPacket;
            m_inPackets.pop_front();
            ++m_inPacketsSent;
            if (m_unplugAfter && --*m_unplugAfter == 0) {
                m_unplugAfter.reset();
                m_unplugged = true;
                m_changed.notify_all();
                return UsbStatus::Disconnected;
            }
            if (shortPacket) {
                return UsbStatus::Ok;
            }
            if (m_delayAfter && --*m_delayAfter == 0) {
                m_delayAfter.reset();
                bool hostGivesUp = timeoutMs != kUsbNoTimeout && timeoutMs < m_delayMs;
                WaitFor(m_changed, lock, hostGivesUp ? timeoutMs : m_delayMs,
                        [&] { return m_unplugged || m_cancelled; });
                if (m_unplugged || m_cancelled) {
                    return m_unplugged ? UsbStatus::Disconnected : UsbStatus::Cancelled;
                }
                if (hostGivesUp) {
                    return UsbStatus::Timeout;
                }
            }
            if (m_pauseAfter && --*m_pauseAfter == 0) {
                m_pauseAfter.reset();
                m_paused = true;  // NAKs the rest until the transfer is aborted
                break;
            }
        }
        if (transferred >= length) {
            return UsbStatus::Ok;
        }
    }
}

UsbStatus SimulatedUsbtmcDevice::ReplyLocked(uint8_t* data, uint16_t length,
                                             std::vector<uint8_t> reply, size_t& transferred) {
    transferred = std::min<size_t>(length, reply.size());
    std::memcpy(data, reply.data(), transferred);
    return UsbStatus::Ok;
}

void SimulatedUsbtmcDevice::ResetIoLocked() {
    m_output.clear();
    m_inPackets.clear();
    m_request.reset();
    m_ignoreRequest = false;
    m_paused = false;
}

UsbStatus SimulatedUsbtmcDevice::ControlIn(uint8_t requestType, uint8_t request, uint16_t value,
                                           uint16_t index, uint8_t* data, uint16_t length,
                                           unsigned /*timeoutMs*/, size_t& transferred) {
    transferred = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        ++m_callsAfterCancel;
        return UsbStatus::Cancelled;
    }
    if (m_unplugged) {
        return UsbStatus::Disconnected;
    }
    m_controlRequests.push_back(request);
    bool toInterface = requestType == 0xA1 && index == m_info.interfaceNumber;
    bool toIn = requestType == 0xA2 && index == m_info.bulkInEndpoint;
    bool toOut = requestType == 0xA2 && index == m_info.bulkOutEndpoint;
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
            reply[5] = m_termCharCapable ? 0x01 : 0x00;
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
            uint8_t stb = m_device->StatusByte();
            if (m_info.interruptInEndpoint != 0) {
                m_notifications.push_back({static_cast<uint8_t>(0x80 | tag), stb});
                m_changed.notify_all();
                return ReplyLocked(data, length, {kSuccess, tag, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, tag, stb}, transferred);
        }
        case 3: {  // INITIATE_ABORT_BULK_IN
            if (!toIn || length != 2 || value > 0xFF) {
                return RejectLocked();
            }
            uint8_t status = kNotInProgress;
            if (m_refuseAbort) {
                m_refuseAbort = false;
            } else if ((m_request && m_request->tag == tag) ||
                       (!m_inPackets.empty() && m_inTransferTag == tag)) {
                status = kSuccess;
                if (m_keepQueuedOnAbort) {
                    // Stops making the reply but leaves what is queued, then
                    // ends the transfer with a short packet if it needs one.
                    std::deque<std::string> queued = std::move(m_inPackets);
                    ResetIoLocked();
                    m_inPackets = std::move(queued);
                    bool endedShort =
                        !m_inPackets.empty() && m_inPackets.back().size() < m_info.bulkInMaxPacket;
                    if (!endedShort && (m_zlpAfterFullEnd || m_inPackets.empty())) {
                        m_inPackets.push_back(std::string());
                    }
                } else {
                    ResetIoLocked();
                    m_inPackets.push_back(std::string());  // the short packet ending the transfer
                }
                m_abortInPolls = m_statusPolls;
                m_changed.notify_all();
            } else if (!m_request && m_inPackets.empty()) {
                status = kFailed;
            }
            return ReplyLocked(data, length, {status, tag}, transferred);
        }
        case 4:  // CHECK_ABORT_BULK_IN_STATUS
            if (!toIn || length != 8) {
                return RejectLocked();
            }
            if (m_abortInPolls > 0 || (m_keepQueuedOnAbort && !m_inPackets.empty())) {
                if (m_abortInPolls > 0) {
                    --m_abortInPolls;
                }
                uint8_t fifo = m_inPackets.empty() ? 0 : 1;
                return ReplyLocked(data, length, {kPending, fifo, 0, 0, 0, 0, 0, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, 0, 0, 0, 0, 0, 0, 0}, transferred);
        case 1: {  // INITIATE_ABORT_BULK_OUT
            if (!toOut || length != 2 || value > 0xFF) {
                return RejectLocked();
            }
            uint8_t status = kFailed;
            if (m_outTransferTag && *m_outTransferTag == tag) {
                status = kSuccess;
                m_outTransferTag.reset();
                m_partialMessage.clear();
                m_outHalted = true;  // until the host clears the halt
                m_abortOutPolls = m_statusPolls;
            } else if (m_outTransferTag) {
                status = kNotInProgress;
            }
            return ReplyLocked(data, length, {status, tag}, transferred);
        }
        case 2:  // CHECK_ABORT_BULK_OUT_STATUS
            if (!toOut || length != 8) {
                return RejectLocked();
            }
            if (m_abortOutPolls > 0) {
                --m_abortOutPolls;
                return ReplyLocked(data, length, {kPending, 0, 0, 0, 0, 0, 0, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, 0, 0, 0, 0, 0, 0, 0}, transferred);
        case 5:  // INITIATE_CLEAR
            if (!toInterface || length != 1) {
                return RejectLocked();
            }
            m_device->DeviceClear();
            ResetIoLocked();
            m_partialMessage.clear();
            m_outTransferTag.reset();
            m_outHalted = true;
            m_clearPolls = m_statusPolls;
            return ReplyLocked(data, length, {kSuccess}, transferred);
        case 6:  // CHECK_CLEAR_STATUS
            if (!toInterface || length != 2) {
                return RejectLocked();
            }
            if (m_clearPolls > 0) {
                --m_clearPolls;
                return ReplyLocked(data, length, {kPending, 0}, transferred);
            }
            return ReplyLocked(data, length, {kSuccess, 0}, transferred);
        default:
            return RejectLocked();
    }
}

UsbStatus SimulatedUsbtmcDevice::ClearHalt(uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        ++m_callsAfterCancel;
        return UsbStatus::Cancelled;
    }
    if (m_unplugged) {
        return UsbStatus::Disconnected;
    }
    m_clearedHalts.push_back(endpoint);
    if (endpoint == m_info.bulkOutEndpoint) {
        m_outHalted = false;
    } else if (endpoint == m_info.bulkInEndpoint) {
        m_inHalted = false;
    } else {
        return RejectLocked();
    }
    return UsbStatus::Ok;
}

#define KVT_LOCKED(expr)                           \
    do {                                           \
        std::lock_guard<std::mutex> lock(m_mutex); \
        expr;                                      \
    } while (false)

void SimulatedUsbtmcDevice::StallNextBulkIn() {
    KVT_LOCKED(m_stallIn = true);
}
void SimulatedUsbtmcDevice::StallNextBulkOut() {
    KVT_LOCKED(m_stallOut = true);
}
void SimulatedUsbtmcDevice::AnswerWrongTagOnce() {
    KVT_LOCKED(m_wrongTag = true);
}
void SimulatedUsbtmcDevice::TruncateNextReply(size_t bytes) {
    KVT_LOCKED(m_truncateReply = bytes);
}
void SimulatedUsbtmcDevice::AnnounceTransferSizeOnce(uint32_t bytes) {
    KVT_LOCKED(m_announce = bytes);
}
void SimulatedUsbtmcDevice::IgnoreNextRequest() {
    KVT_LOCKED(m_ignoreRequest = true);
}
void SimulatedUsbtmcDevice::AcceptOnlyNextOut(size_t bytes) {
    KVT_LOCKED(m_acceptOut = bytes);
}
void SimulatedUsbtmcDevice::UnplugAfterInPackets(size_t n) {
    KVT_LOCKED(m_unplugAfter = n);
}
void SimulatedUsbtmcDevice::PauseAfterInPackets(size_t n) {
    KVT_LOCKED(m_pauseAfter = n);
}
void SimulatedUsbtmcDevice::DelayAfterInPackets(size_t n, unsigned delayMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayAfter = n;
    m_delayMs = delayMs;
}
void SimulatedUsbtmcDevice::RefuseNextAbort() {
    KVT_LOCKED(m_refuseAbort = true);
}
void SimulatedUsbtmcDevice::SetMaxReplySize(uint32_t bytes) {
    KVT_LOCKED(m_maxReply = bytes);
}
void SimulatedUsbtmcDevice::SetStatusPolls(unsigned polls) {
    KVT_LOCKED(m_statusPolls = polls);
}
void SimulatedUsbtmcDevice::SetZeroLengthPacketAfterFullEnd(bool on) {
    KVT_LOCKED(m_zlpAfterFullEnd = on);
}
void SimulatedUsbtmcDevice::IgnoreRequestedSize(bool on) {
    KVT_LOCKED(m_ignoreRequestedSize = on);
}
void SimulatedUsbtmcDevice::SetEomOnEveryTransfer(bool on) {
    KVT_LOCKED(m_eomOnEveryTransfer = on);
}
void SimulatedUsbtmcDevice::AnswerIdleRequestsEmpty(bool on) {
    KVT_LOCKED(m_answerIdleEmpty = on);
}
void SimulatedUsbtmcDevice::KeepQueuedDataOnAbort(bool on) {
    KVT_LOCKED(m_keepQueuedOnAbort = on);
}
void SimulatedUsbtmcDevice::SetClaimed(bool claimed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_claimed = claimed;
    if (claimed) {
        m_cancelled = false;  // a new handle
        m_callsAfterCancel = 0;
    }
}

void SimulatedUsbtmcDevice::Unplug() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugged = true;
    m_changed.notify_all();
}

bool SimulatedUsbtmcDevice::WaitForBlockedBulkIn(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return WaitFor(m_changed, lock, timeoutMs, [&] { return m_blockedInBulkIn; });
}

bool SimulatedUsbtmcDevice::Claimed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_claimed;
}

std::vector<SimulatedUsbtmcDevice::OutHeader> SimulatedUsbtmcDevice::OutHeaders() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outHeaders;
}

std::vector<uint8_t> SimulatedUsbtmcDevice::ControlRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_controlRequests;
}

std::vector<uint8_t> SimulatedUsbtmcDevice::ClearedHalts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_clearedHalts;
}

std::vector<std::string> SimulatedUsbtmcDevice::Messages() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

size_t SimulatedUsbtmcDevice::BulkOutPackets() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outPackets;
}

size_t SimulatedUsbtmcDevice::BulkInPackets() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inPacketsSent;
}

size_t SimulatedUsbtmcDevice::Rejected() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rejected;
}

UsbStatus SimulatedUsbtmcDevice::InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                             size_t& transferred) {
    transferred = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        ++m_callsAfterCancel;
        return UsbStatus::Cancelled;
    }
    WaitFor(m_changed, lock, timeoutMs,
            [&] { return m_unplugged || m_cancelled || !m_notifications.empty(); });
    if (m_unplugged) {
        return UsbStatus::Disconnected;
    }
    if (m_cancelled) {
        return UsbStatus::Cancelled;
    }
    if (m_notifications.empty()) {
        return UsbStatus::Timeout;
    }
    std::vector<uint8_t> notification = std::move(m_notifications.front());
    m_notifications.pop_front();
    transferred = std::min(length, notification.size());
    std::memcpy(data, notification.data(), transferred);
    return UsbStatus::Ok;
}

size_t SimulatedUsbtmcDevice::Triggers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_triggers;
}

void SimulatedUsbtmcDevice::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    m_changed.notify_all();
}

size_t SimulatedUsbtmcDevice::CallsAfterCancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callsAfterCancel;
}

}  // namespace kvt::visa
