#include "visa/UsbtmcControl.h"

#include <algorithm>

#include <thread>
#include <vector>
#include "visa/Deadline.h"

namespace kvt::visa {
namespace {

// Status polls are spaced so that a slow device is not flooded with requests.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// Bounds draining: a device that streams without end is cut off here.
constexpr size_t kMaxDrainBytes = size_t{1} << 20;
// Longest wait for the next packet while draining. What is left on bulk-IN
// is queued already; a device that ends it with a full packet and no short
// one would otherwise hold the drain until the deadline, leaving no time
// for the status polls that complete the abort or clear.
constexpr auto kDrainPacketWait = std::chrono::milliseconds(250);

}  // namespace

unsigned UsbTimeoutMs(std::chrono::steady_clock::time_point deadline) {
    if (IsInfinite(deadline)) {
        return kUsbNoTimeout;
    }
    // At least 1 ms: libusb takes 0 as "no timeout".
    return static_cast<unsigned>(std::max<uint64_t>(1, RemainingMs(deadline, kUsbNoTimeout - 1)));
}

UsbtmcControl::UsbtmcControl(UsbTransport& transport, const UsbDeviceInfo& device)
    : m_transport(transport), m_device(device) {}

UsbStatus UsbtmcControl::Request(uint8_t requestType, uint8_t request, uint16_t value,
                                 uint16_t index, uint8_t* reply, uint16_t length,
                                 Clock::time_point deadline) {
    size_t got = 0;
    UsbStatus status = m_transport.ControlIn(requestType, request, value, index, reply, length,
                                             UsbTimeoutMs(deadline), got);
    if (status == UsbStatus::Ok && got < 1) {
        return UsbStatus::Error;  // no USBTMC_status byte
    }
    if (status == UsbStatus::Stall) {
        return UsbStatus::Error;  // the device does not support the request
    }
    return status;
}

bool UsbtmcControl::PauseBeforePoll(Clock::time_point deadline) {
    if (Clock::now() + kPollInterval >= deadline) {
        return false;
    }
    std::this_thread::sleep_for(kPollInterval);
    return true;
}

UsbStatus UsbtmcControl::GetCapabilities(usbtmc::Capabilities& capabilities,
                                         Clock::time_point deadline) {
    uint8_t reply[usbtmc::kCapabilitiesLength] = {};
    size_t got = 0;
    UsbStatus status = m_transport.ControlIn(
        usbtmc::kRequestToInterface, usbtmc::kGetCapabilities, 0, m_device.interfaceNumber, reply,
        usbtmc::kCapabilitiesLength, UsbTimeoutMs(deadline), got);
    if (status != UsbStatus::Ok) {
        return status;
    }
    return usbtmc::DecodeCapabilities(reply, got, capabilities) ? UsbStatus::Ok : UsbStatus::Error;
}

UsbStatus UsbtmcControl::DrainBulkIn(Clock::time_point deadline) {
    if (Clock::now() >= deadline) {
        return UsbStatus::Timeout;
    }
    size_t chunk = std::max<size_t>(m_device.bulkInMaxPacket, 4);
    std::vector<uint8_t> buffer(chunk);
    for (size_t drained = 0; drained < kMaxDrainBytes; drained += chunk) {
        size_t got = 0;
        Clock::time_point wait = std::min(deadline, Clock::now() + kDrainPacketWait);
        UsbStatus status = m_transport.BulkIn(buffer.data(), chunk, UsbTimeoutMs(wait), got);
        if (status == UsbStatus::Timeout) {
            return UsbStatus::Ok;  // nothing more is coming
        }
        if (status != UsbStatus::Ok) {
            return status;
        }
        if (got < chunk) {
            return UsbStatus::Ok;  // the short packet that ends the transfer
        }
    }
    return UsbStatus::Error;
}

UsbStatus UsbtmcControl::AbortBulkOut(uint8_t tag, Clock::time_point deadline) {
    uint8_t reply[8] = {};
    UsbStatus status = Request(usbtmc::kRequestToEndpoint, usbtmc::kInitiateAbortBulkOut, tag,
                               m_device.bulkOutEndpoint, reply, 2, deadline);
    if (status != UsbStatus::Ok) {
        return status;
    }
    if (reply[0] == usbtmc::kStatusFailed) {
        return UsbStatus::Ok;  // no transfer in progress, nothing queued
    }
    if (reply[0] != usbtmc::kStatusSuccess) {
        return UsbStatus::Error;
    }
    while (true) {
        status = Request(usbtmc::kRequestToEndpoint, usbtmc::kCheckAbortBulkOutStatus, 0,
                         m_device.bulkOutEndpoint, reply, 8, deadline);
        if (status != UsbStatus::Ok) {
            return status;
        }
        if (reply[0] != usbtmc::kStatusPending) {
            break;
        }
        if (!PauseBeforePoll(deadline)) {
            return UsbStatus::Timeout;
        }
    }
    if (reply[0] != usbtmc::kStatusSuccess) {
        return UsbStatus::Error;
    }
    return m_transport.ClearHalt(m_device.bulkOutEndpoint);
}

UsbStatus UsbtmcControl::AbortBulkIn(uint8_t tag, Clock::time_point deadline) {
    uint8_t reply[8] = {};
    UsbStatus status = Request(usbtmc::kRequestToEndpoint, usbtmc::kInitiateAbortBulkIn, tag,
                               m_device.bulkInEndpoint, reply, 2, deadline);
    if (status != UsbStatus::Ok) {
        return status;
    }
    if (reply[0] == usbtmc::kStatusFailed) {
        return UsbStatus::Ok;  // no transfer in progress, nothing queued
    }
    if (reply[0] != usbtmc::kStatusSuccess) {
        return UsbStatus::Error;
    }
    status = DrainBulkIn(deadline);
    while (status == UsbStatus::Ok) {
        status = Request(usbtmc::kRequestToEndpoint, usbtmc::kCheckAbortBulkInStatus, 0,
                         m_device.bulkInEndpoint, reply, 8, deadline);
        if (status != UsbStatus::Ok) {
            return status;
        }
        if (reply[0] != usbtmc::kStatusPending) {
            return reply[0] == usbtmc::kStatusSuccess ? UsbStatus::Ok : UsbStatus::Error;
        }
        if ((reply[1] & 0x01) != 0) {
            status = DrainBulkIn(deadline);  // the device still has data queued
        } else if (!PauseBeforePoll(deadline)) {
            return UsbStatus::Timeout;
        }
    }
    return status;
}

UsbStatus UsbtmcControl::ReadStatusByte(uint8_t tag, uint8_t& statusByte,
                                        Clock::time_point deadline) {
    uint8_t reply[3] = {};
    UsbStatus status = Request(usbtmc::kRequestToInterface, usbtmc::kReadStatusByte, tag,
                               m_device.interfaceNumber, reply, 3, deadline);
    if (status != UsbStatus::Ok) {
        return status;
    }
    if (reply[0] != usbtmc::kStatusSuccess || reply[1] != tag) {
        return UsbStatus::Error;
    }
    if (m_device.interruptInEndpoint == 0) {
        statusByte = reply[2];
        return UsbStatus::Ok;
    }
    // The notification: bNotify1 = 0x80 | bTag, then the status byte.
    uint8_t notification[2] = {};
    size_t got = 0;
    status =
        m_transport.InterruptIn(notification, sizeof notification, UsbTimeoutMs(deadline), got);
    if (status != UsbStatus::Ok) {
        return status;
    }
    if (got < 2 || notification[0] != (0x80 | tag)) {
        return UsbStatus::Error;
    }
    statusByte = notification[1];
    return UsbStatus::Ok;
}

UsbStatus UsbtmcControl::Clear(Clock::time_point deadline) {
    uint8_t reply[2] = {};
    UsbStatus status = Request(usbtmc::kRequestToInterface, usbtmc::kInitiateClear, 0,
                               m_device.interfaceNumber, reply, 1, deadline);
    if (status != UsbStatus::Ok) {
        return status;
    }
    if (reply[0] != usbtmc::kStatusSuccess) {
        return UsbStatus::Error;
    }
    while (true) {
        status = Request(usbtmc::kRequestToInterface, usbtmc::kCheckClearStatus, 0,
                         m_device.interfaceNumber, reply, 2, deadline);
        if (status != UsbStatus::Ok) {
            return status;
        }
        if (reply[0] != usbtmc::kStatusPending) {
            break;
        }
        if ((reply[1] & 0x01) != 0) {
            status = DrainBulkIn(deadline);
            if (status != UsbStatus::Ok) {
                return status;
            }
        } else if (!PauseBeforePoll(deadline)) {
            return UsbStatus::Timeout;
        }
    }
    if (reply[0] != usbtmc::kStatusSuccess) {
        return UsbStatus::Error;
    }
    return m_transport.ClearHalt(m_device.bulkOutEndpoint);
}

}  // namespace kvt::visa
