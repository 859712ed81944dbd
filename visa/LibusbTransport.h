#pragma once

#include <mutex>

#include "visa/UsbTransport.h"

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

namespace kvt::visa {

// One claimed USBTMC interface of an open libusb device. Destroying it
// releases the interface, gives it back to the kernel driver it was taken
// from, and closes the device. Transfers are submitted asynchronously and
// waited for on the calling thread, so that Cancel() from another thread
// can end the one in progress.
class LibusbTransport : public UsbTransport {
public:
    LibusbTransport(libusb_context* context, libusb_device_handle* handle,
                    const UsbDeviceInfo& device, bool reattachDriver);
    ~LibusbTransport() override;
    LibusbTransport(const LibusbTransport&) = delete;
    LibusbTransport& operator=(const LibusbTransport&) = delete;

    UsbStatus BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                      size_t& transferred) override;
    UsbStatus BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                     size_t& transferred) override;
    UsbStatus ControlIn(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        uint8_t* data, uint16_t length, unsigned timeoutMs,
                        size_t& transferred) override;
    UsbStatus ClearHalt(uint8_t endpoint) override;
    UsbStatus InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                          size_t& transferred) override;
    void Cancel() override;

    // libusb's result code as a UsbStatus.
    static UsbStatus StatusOf(int libusbResult);

private:
    // Submits the filled transfer and handles events until it completes.
    UsbStatus Run(libusb_transfer* transfer);
    UsbStatus Transfer(unsigned char type, uint8_t endpoint, uint8_t* data, size_t length,
                       unsigned timeoutMs, size_t& transferred);

    libusb_context* m_context;
    libusb_device_handle* m_handle;
    int m_interfaceNumber;
    uint8_t m_bulkOut;
    uint8_t m_bulkIn;
    uint8_t m_interruptIn;
    bool m_reattachDriver;  // the driver was detached by hand, not by libusb
    std::mutex m_cancelMutex;
    bool m_cancelled = false;              // guarded by m_cancelMutex
    libusb_transfer* m_running = nullptr;  // guarded by m_cancelMutex
};

}  // namespace kvt::visa
