#pragma once

#include <chrono>
#include <cstdint>

#include "visa/UsbTransport.h"
#include "visa/UsbtmcProtocol.h"

namespace kvt::visa {

// The USBTMC class requests of one open interface: capabilities, aborting
// a bulk transfer and clearing the device, each with the polling and
// draining the class asks of the host. Every sequence ends by the deadline
// given. Ok means the device is ready for a new exchange; Error means it
// refused (the caller then clears the device).
class UsbtmcControl {
public:
    using Clock = std::chrono::steady_clock;

    UsbtmcControl(UsbTransport& transport, const UsbDeviceInfo& device);

    UsbStatus GetCapabilities(usbtmc::Capabilities& capabilities, Clock::time_point deadline);

    // INITIATE_ABORT_BULK_OUT for the transfer with this bTag, CHECK_ABORT_
    // BULK_OUT_STATUS until done, then the bulk-OUT halt is cleared.
    UsbStatus AbortBulkOut(uint8_t tag, Clock::time_point deadline);

    // INITIATE_ABORT_BULK_IN for the request with this bTag, the bulk-IN
    // endpoint read up to a short packet, CHECK_ABORT_BULK_IN_STATUS until
    // done (reading bulk-IN again while it reports data queued).
    UsbStatus AbortBulkIn(uint8_t tag, Clock::time_point deadline);

    // INITIATE_CLEAR, CHECK_CLEAR_STATUS until done (reading bulk-IN when
    // asked), then the bulk-OUT halt is cleared.
    UsbStatus Clear(Clock::time_point deadline);

    // USB488 READ_STATUS_BYTE with this bTag (2 to 127). The status byte
    // comes in the reply, or on the interrupt-IN endpoint when the
    // interface has one.
    UsbStatus ReadStatusByte(uint8_t tag, uint8_t& statusByte, Clock::time_point deadline);

private:
    UsbStatus Request(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                      uint8_t* reply, uint16_t length, Clock::time_point deadline);
    // Reads and drops bulk-IN data up to a short packet, or until no packet
    // has come for a moment.
    UsbStatus DrainBulkIn(Clock::time_point deadline);
    // Waits a little before the next status poll; false once the deadline passed.
    static bool PauseBeforePoll(Clock::time_point deadline);

    UsbTransport& m_transport;
    const UsbDeviceInfo& m_device;
};

// A transfer's timeout: milliseconds left until the deadline, at least 1;
// kUsbNoTimeout for the deadline of a session without a timeout.
unsigned UsbTimeoutMs(std::chrono::steady_clock::time_point deadline);

}  // namespace kvt::visa
