#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "visa/MessageDevice.h"
#include "visa/UsbTransport.h"

namespace kvt::visa {

// A USBTMC/USB488 instrument at the transport seam, answering through a
// MessageDevice. It checks every bulk header and class request the host
// sends (counting what it rejects), keeps bTag in its replies, cuts a reply
// to the host's TransferSize, sends it in packets of wMaxPacketSize, and
// supports abort, clear and halts. As on the bus, a host's bulk-IN transfer
// ends only at a short packet or when its buffer is full: after a full last
// packet with no zero-length packet behind it, the host waits until its
// timeout. Faults make it stall, answer a wrong bTag or a truncated header,
// stay silent, or disappear; quirks make it keep the standard loosely, as
// some instruments do. Thread-safe: the test thread may unplug it while a
// session waits in BulkIn.
class SimulatedUsbtmcDevice : public UsbTransport {
public:
    SimulatedUsbtmcDevice(std::shared_ptr<MessageDevice> device, UsbDeviceInfo info,
                          bool termCharCapable = true);

    const UsbDeviceInfo& Info() const { return m_info; }

    UsbStatus BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                      size_t& transferred) override;
    UsbStatus BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                     size_t& transferred) override;
    UsbStatus ControlIn(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        uint8_t* data, uint16_t length, unsigned timeoutMs,
                        size_t& transferred) override;
    UsbStatus ClearHalt(uint8_t endpoint) override;
    // The USB488 status byte notification that READ_STATUS_BYTE queued.
    UsbStatus InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                          size_t& transferred) override;
    // The host's end cancels: a transfer waiting returns Cancelled, and so
    // does every later one until the next claim (a new handle).
    void Cancel() override;

    // Faults, each for the next occasion only unless said otherwise.
    void StallNextBulkIn();
    void StallNextBulkOut();
    void AnswerWrongTagOnce();
    void TruncateNextReply(size_t bytes);           // the reply transfer is cut to this length
    void AnnounceTransferSizeOnce(uint32_t bytes);  // the next header claims this, data as usual
    void IgnoreNextRequest();                       // the reply is held back until aborted
    void AcceptOnlyNextOut(size_t bytes);           // NAKs the rest of the next bulk-OUT
    void UnplugAfterInPackets(size_t packets);      // vanishes after this many bulk-IN packets
    void PauseAfterInPackets(size_t packets);       // NAKs the rest of the reply until aborted
    // After this many more full bulk-IN packets, NAKs for a while (a slow
    // device): the host's transfer waits, or times out if that is sooner.
    void DelayAfterInPackets(size_t packets, unsigned delayMs);
    void RefuseNextAbort();  // answers STATUS_TRANSFER_NOT_IN_PROGRESS
    void Unplug();
    void SetMaxReplySize(uint32_t bytes);  // splits every reply (always)
    void SetStatusPolls(unsigned polls);   // CHECK_… answers PENDING this often first
    void SetZeroLengthPacketAfterFullEnd(bool on);

    // Quirks of loosely conforming instruments, each for good.
    // Sends the whole rest of a reply (up to SetMaxReplySize) in one
    // transfer, whatever TransferSize the host asked for.
    void IgnoreRequestedSize(bool on);
    // Sets EOM on every reply transfer, also when it splits a reply.
    void SetEomOnEveryTransfer(bool on);
    // Answers a REQUEST_DEV_DEP_MSG_IN with nothing to send by an empty
    // transfer (TransferSize 0, EOM) instead of waiting for a reply.
    void AnswerIdleRequestsEmpty(bool on);
    // INITIATE_ABORT_BULK_IN leaves the packets already queued on bulk-IN
    // for the host to read (a short packet behind them, unless the device
    // sends none after a full packet), and CHECK_ABORT_BULK_IN_STATUS
    // answers PENDING with bmAbortBulkIn.D0 set while any are left.
    void KeepQueuedDataOnAbort(bool on);

    // What the host did.
    struct OutHeader {
        uint8_t msgId, tag;
        uint32_t transferSize;
        uint8_t attributes, termChar;
        size_t length;  // of the whole transfer
    };
    std::vector<OutHeader> OutHeaders();
    std::vector<uint8_t> ControlRequests();
    std::vector<uint8_t> ClearedHalts();
    std::vector<std::string> Messages();  // complete messages passed to the device
    size_t BulkOutPackets();
    size_t BulkInPackets();
    size_t Rejected();  // malformed headers and requests
    size_t Triggers();  // USB488 TRIGGER messages
    // Waits until a host is blocked in BulkIn with nothing to receive.
    bool WaitForBlockedBulkIn(unsigned timeoutMs);

    // Host calls that arrived after Cancel() (each one answered Cancelled).
    size_t CallsAfterCancel();

    // Claimed by an open session (set by the backend).
    void SetClaimed(bool claimed);
    bool Claimed();

private:
    struct Request {
        uint8_t tag;
        uint32_t size;
        bool termCharEnabled;
        uint8_t termChar;
    };
    UsbStatus HandleOutLocked(const uint8_t* data, size_t length);
    void BuildReplyLocked();
    void QueuePacketsLocked(const std::string& transfer);
    UsbStatus ReplyLocked(uint8_t* data, uint16_t length, std::vector<uint8_t> reply,
                          size_t& transferred);
    UsbStatus RejectLocked();
    void ResetIoLocked();

    std::shared_ptr<MessageDevice> m_device;
    const UsbDeviceInfo m_info;
    const bool m_termCharCapable;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_unplugged = false;
    bool m_claimed = false;
    bool m_inHalted = false, m_outHalted = false;
    bool m_blockedInBulkIn = false;
    bool m_cancelled = false;

    std::string m_partialMessage;
    std::string m_output;  // the message being sent to the host
    std::optional<Request> m_request;
    std::deque<std::string> m_inPackets;  // the bulk-IN transfer under way
    uint8_t m_inTransferTag = 0;
    std::optional<uint8_t> m_outTransferTag;  // a bulk-OUT transfer cut short
    unsigned m_abortInPolls = 0, m_abortOutPolls = 0, m_clearPolls = 0;

    bool m_stallIn = false, m_stallOut = false, m_wrongTag = false;
    std::optional<uint32_t> m_announce;
    bool m_ignoreRequest = false, m_zlpAfterFullEnd = true;
    bool m_ignoreRequestedSize = false, m_eomOnEveryTransfer = false, m_answerIdleEmpty = false;
    bool m_keepQueuedOnAbort = false;
    std::optional<size_t> m_truncateReply, m_acceptOut, m_unplugAfter, m_pauseAfter, m_delayAfter;
    unsigned m_delayMs = 0;
    bool m_paused = false, m_refuseAbort = false;
    uint32_t m_maxReply = 0xFFFFFFFFu;
    unsigned m_statusPolls = 0;

    std::vector<OutHeader> m_outHeaders;
    std::vector<uint8_t> m_controlRequests, m_clearedHalts;
    std::vector<std::string> m_messages;
    std::deque<std::vector<uint8_t>> m_notifications;  // interrupt-IN
    size_t m_triggers = 0;
    size_t m_outPackets = 0, m_inPacketsSent = 0, m_rejected = 0, m_callsAfterCancel = 0;
};

}  // namespace kvt::visa
