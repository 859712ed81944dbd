#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvt::visa {

// Outcome of one USB operation, as far as the layers above care.
enum class UsbStatus {
    Ok,
    Timeout,         // the device did not complete the transfer in time
    Stall,           // the endpoint (or the control pipe) answered STALL
    Overflow,        // the device sent more than the buffer could take
    Disconnected,    // the device is gone
    AccessDenied,    // the host may not open the device (permissions)
    Busy,            // another driver or program holds the interface
    DriverAttached,  // a kernel driver is bound to the interface and would not let go of it
    NotFound,        // no such device or interface
    Unavailable,     // USB access as a whole is not possible on this host
    Cancelled,       // Cancel() ended the transfer, or came before it
    Error,           // any other failure
};

// One USBTMC interface of a device on the bus, as enumeration finds it.
struct UsbDeviceInfo {
    uint8_t bus = 0;
    std::vector<uint8_t> ports;  // port numbers from the root hub down
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;         // empty when the device has none or it was unreadable
    bool accessDenied = false;  // the serial could not be read: no permission to open
    uint8_t interfaceNumber = 0;
    uint8_t interfaceProtocol = 0;  // 1: USB488
    uint8_t bulkOutEndpoint = 0;
    uint8_t bulkInEndpoint = 0;
    uint8_t interruptInEndpoint = 0;  // 0: none
    uint16_t bulkOutMaxPacket = 64;
    uint16_t bulkInMaxPacket = 64;
};

// Timeouts are in milliseconds; kUsbNoTimeout waits as long as it takes.
inline constexpr unsigned kUsbNoTimeout = 0xFFFFFFFFu;

// The transfers a USBTMC session needs of one claimed interface. The bulk
// endpoints are those of the interface it was opened for.
class UsbTransport {
public:
    virtual ~UsbTransport() = default;

    // Sends length bytes as one bulk-OUT transfer.
    virtual UsbStatus BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                              size_t& transferred) = 0;

    // Receives one bulk-IN transfer into at most length bytes (a multiple of
    // the endpoint's packet size): returns when a short packet ends it or
    // length bytes have arrived.
    virtual UsbStatus BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                             size_t& transferred) = 0;

    // A control request with a device-to-host data stage.
    virtual UsbStatus ControlIn(uint8_t requestType, uint8_t request, uint16_t value,
                                uint16_t index, uint8_t* data, uint16_t length, unsigned timeoutMs,
                                size_t& transferred) = 0;

    // CLEAR_FEATURE(ENDPOINT_HALT), resetting the data toggle on both sides.
    virtual UsbStatus ClearHalt(uint8_t endpoint) = 0;

    // Makes a transfer that another thread has in progress return at once
    // with Cancelled, and every later call too; sends nothing more to the
    // device. Thread-safe. For a program that ends while a thread waits for
    // a device that has stopped answering.
    virtual void Cancel() = 0;

    // Receives one transfer from the interface's interrupt-IN endpoint.
    // Error for a transport that has none.
    virtual UsbStatus InterruptIn(uint8_t* /*data*/, size_t /*length*/, unsigned /*timeoutMs*/,
                                  size_t& transferred) {
        transferred = 0;
        return UsbStatus::Error;
    }
};

}  // namespace kvt::visa
