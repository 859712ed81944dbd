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
// supports abort, clear and halts. Faults make it stall, answer a wrong
// bTag or a truncated header, stay silent, or disappear. Thread-safe: the
// test thread may unplug it while a session waits in BulkIn.
class SimulatedUsbtmcDevice : public UsbTransport {
public:
    SimulatedUsbtmcDevice(std::shared_ptr<MessageDevice> device, UsbDeviceInfo info,
                          bool termCharCapable = true);

    const UsbDeviceInfo& Info() const { return info_; }

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
    void TruncateNextReply(size_t bytes);       // the reply transfer is cut to this length
    void AnnounceOversizeOnce();                // header claims more than was asked for
    void IgnoreNextRequest();                   // the reply is held back until aborted
    void AcceptOnlyNextOut(size_t bytes);       // NAKs the rest of the next bulk-OUT
    void UnplugAfterInPackets(size_t packets);  // vanishes after this many bulk-IN packets
    void PauseAfterInPackets(size_t packets);   // NAKs the rest of the reply until aborted
    void RefuseNextAbort();                     // answers STATUS_TRANSFER_NOT_IN_PROGRESS
    void Unplug();
    void SetMaxReplySize(uint32_t bytes);  // splits every reply (always)
    void SetStatusPolls(unsigned polls);   // CHECK_… answers PENDING this often first
    void SetZeroLengthPacketAfterFullEnd(bool on);

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

    std::shared_ptr<MessageDevice> device_;
    const UsbDeviceInfo info_;
    const bool termCharCapable_;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool unplugged_ = false;
    bool claimed_ = false;
    bool inHalted_ = false, outHalted_ = false;
    bool blockedInBulkIn_ = false;
    bool cancelled_ = false;

    std::string partialMessage_;
    std::string output_;  // the message being sent to the host
    std::optional<Request> request_;
    std::deque<std::string> inPackets_;  // the bulk-IN transfer under way
    uint8_t inTransferTag_ = 0;
    std::optional<uint8_t> outTransferTag_;  // a bulk-OUT transfer cut short
    unsigned abortInPolls_ = 0, abortOutPolls_ = 0, clearPolls_ = 0;

    bool stallIn_ = false, stallOut_ = false, wrongTag_ = false, oversize_ = false;
    bool ignoreRequest_ = false, zlpAfterFullEnd_ = true;
    std::optional<size_t> truncateReply_, acceptOut_, unplugAfter_, pauseAfter_;
    bool paused_ = false, refuseAbort_ = false;
    uint32_t maxReply_ = 0xFFFFFFFFu;
    unsigned statusPolls_ = 0;

    std::vector<OutHeader> outHeaders_;
    std::vector<uint8_t> controlRequests_, clearedHalts_;
    std::vector<std::string> messages_;
    std::deque<std::vector<uint8_t>> notifications_;  // interrupt-IN
    size_t triggers_ = 0;
    size_t outPackets_ = 0, inPacketsSent_ = 0, rejected_ = 0, callsAfterCancel_ = 0;
};

}  // namespace kvt::visa
