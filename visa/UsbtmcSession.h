#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "visa/MessageReadBuffer.h"
#include "visa/Session.h"
#include "visa/UsbTransport.h"
#include "visa/UsbtmcControl.h"
#include "visa/UsbtmcProtocol.h"

namespace kvt::visa {

// A session with a USBTMC/USB488 instrument over a claimed USB interface.
// Messages go out as DEV_DEP_MSG_OUT transfers (EOM on the last one when
// SEND_END_EN is set); a read sends REQUEST_DEV_DEP_MSG_IN for what the
// caller can take and keeps what it could not take for the next read,
// including what a device sends beyond the size asked for (up to 16 MiB in
// one transfer). A reply ends at EOM; with the termination character
// enabled, at EOM on data that end with it, or once the device has nothing
// more (see ReceiveReply).
// After a timeout or a malformed reply the transfer is aborted (the device
// cleared if the abort fails) so that the next exchange starts clean. A
// device that disappears makes this and every later call fail with
// VI_ERROR_CONN_LOST.
class UsbtmcSession : public Session {
public:
    UsbtmcSession(std::string resourceName, unsigned board, UsbDeviceInfo device,
                  std::unique_ptr<UsbTransport> transport);
    ~UsbtmcSession() override;

    // Asks the device for its capabilities. VI_ERROR_RSRC_NFOUND when the
    // device has gone; a device without the request counts as minimal.
    ViStatus Start();

    ViStatus Write(const ViByte* data, ViUInt32 count, ViUInt32& written) override;
    ViStatus Read(ViByte* data, ViUInt32 count, ViUInt32& received) override;
    ViStatus GetAttribute(ViAttr attribute, void* value) const override;

    // Device clear: the device drops its pending input and output, and the
    // session drops what it had buffered.
    ViStatus Clear() override;
    // USB488 READ_STATUS_BYTE; VI_ERROR_NSUP_OPER for a plain USBTMC device.
    ViStatus ReadStatusByte(ViUInt16& status) override;
    // USB488 TRIGGER; VI_ERROR_NSUP_OPER when the device does not take it.
    ViStatus AssertTrigger() override;
    void DiscardInput() override {
        m_pending.Clear();
        m_eomWithoutTermChar = false;
    }
    // Cancels the transfer in progress; this and every later call fail at
    // once without recovering the device (nothing more is sent to it).
    void AbortIo() override;

    const usbtmc::Capabilities& DeviceCapabilities() const { return m_capabilities; }

private:
    using Clock = std::chrono::steady_clock;

    Clock::time_point Deadline() const;
    // One bulk-OUT transfer of the session; recovers the device when it fails.
    ViStatus SendTransfer(const std::string& transfer, uint8_t tag, Clock::time_point deadline);
    // One REQUEST_DEV_DEP_MSG_IN and its reply, appended to m_pending. The
    // reply must have begun by replyBy and be complete by the deadline.
    ViStatus RequestTransfer(uint32_t maxSize, Clock::time_point replyBy,
                             Clock::time_point deadline);
    // Receives the bulk-IN transfer that answers the request with this tag.
    ViStatus ReceiveReply(uint8_t tag, uint32_t maxSize, Clock::time_point replyBy,
                          Clock::time_point deadline);
    // Returns the device to a state where a new exchange can begin after a
    // failed transfer, and the status the caller reports.
    ViStatus RecoverOut(UsbStatus failure, uint8_t tag);
    ViStatus RecoverIn(UsbStatus failure, uint8_t tag);
    ViStatus FinishRecovery(UsbStatus failure, UsbStatus recovery);

    UsbDeviceInfo m_device;
    std::unique_ptr<UsbTransport> m_transport;
    UsbtmcControl m_control;
    usbtmc::TagSequence m_tags;
    usbtmc::Capabilities m_capabilities;
    MessageReadBuffer m_pending;
    // The last transfer had EOM, but the termination character is enabled
    // and the data did not end with it: the device may have more.
    bool m_eomWithoutTermChar = false;
    std::vector<uint8_t> m_inBuffer;
    bool m_lost = false;
    std::atomic<bool> m_aborted{false};
    uint8_t m_statusTag = 1;  // the last READ_STATUS_BYTE bTag (2 to 127)
};

}  // namespace kvt::visa
