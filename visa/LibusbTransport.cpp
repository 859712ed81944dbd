#include "visa/LibusbTransport.h"

#include <libusb.h>

#include <algorithm>
#include <climits>

namespace kvt::visa {
namespace {

// libusb waits for ever on 0; VISA's immediate timeout becomes 1 ms.
unsigned LibusbTimeout(unsigned timeoutMs) {
    if (timeoutMs == kUsbNoTimeout) {
        return 0;
    }
    return std::max(timeoutMs, 1u);
}

}  // namespace

LibusbTransport::LibusbTransport(libusb_device_handle* handle, const UsbDeviceInfo& device,
                                 bool reattachDriver)
    : handle_(handle),
      interfaceNumber_(device.interfaceNumber),
      bulkOut_(device.bulkOutEndpoint),
      bulkIn_(device.bulkInEndpoint),
      interruptIn_(device.interruptInEndpoint),
      reattachDriver_(reattachDriver) {}

LibusbTransport::~LibusbTransport() {
    // Each step fails harmlessly when the device has been unplugged.
    libusb_release_interface(handle_, interfaceNumber_);
    if (reattachDriver_) {
        libusb_attach_kernel_driver(handle_, interfaceNumber_);
    }
    libusb_close(handle_);
}

UsbStatus LibusbTransport::StatusOf(int result) {
    switch (result) {
        case LIBUSB_SUCCESS:
            return UsbStatus::Ok;
        case LIBUSB_ERROR_TIMEOUT:
            return UsbStatus::Timeout;
        case LIBUSB_ERROR_PIPE:
            return UsbStatus::Stall;
        case LIBUSB_ERROR_OVERFLOW:
            return UsbStatus::Overflow;
        case LIBUSB_ERROR_NO_DEVICE:
            return UsbStatus::Disconnected;
        case LIBUSB_ERROR_ACCESS:
            return UsbStatus::AccessDenied;
        case LIBUSB_ERROR_BUSY:
            return UsbStatus::Busy;
        case LIBUSB_ERROR_NOT_FOUND:
            return UsbStatus::NotFound;
        default:
            return UsbStatus::Error;
    }
}

UsbStatus LibusbTransport::Bulk(uint8_t endpoint, uint8_t* data, size_t length, unsigned timeoutMs,
                                size_t& transferred) {
    transferred = 0;
    int done = 0;
    int result = libusb_bulk_transfer(handle_, endpoint, data,
                                      static_cast<int>(std::min<size_t>(length, INT_MAX)), &done,
                                      LibusbTimeout(timeoutMs));
    transferred = static_cast<size_t>(std::max(done, 0));
    return StatusOf(result);
}

UsbStatus LibusbTransport::InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                       size_t& transferred) {
    transferred = 0;
    if (interruptIn_ == 0) {
        return UsbStatus::Error;
    }
    int done = 0;
    int result = libusb_interrupt_transfer(handle_, interruptIn_, data,
                                           static_cast<int>(std::min<size_t>(length, INT_MAX)),
                                           &done, LibusbTimeout(timeoutMs));
    transferred = static_cast<size_t>(std::max(done, 0));
    return StatusOf(result);
}

UsbStatus LibusbTransport::BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                                   size_t& transferred) {
    // libusb does not write through the pointer of an OUT transfer.
    return Bulk(bulkOut_, const_cast<uint8_t*>(data), length, timeoutMs, transferred);
}

UsbStatus LibusbTransport::BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                  size_t& transferred) {
    return Bulk(bulkIn_, data, length, timeoutMs, transferred);
}

UsbStatus LibusbTransport::ControlIn(uint8_t requestType, uint8_t request, uint16_t value,
                                     uint16_t index, uint8_t* data, uint16_t length,
                                     unsigned timeoutMs, size_t& transferred) {
    transferred = 0;
    int result = libusb_control_transfer(handle_, requestType, request, value, index, data, length,
                                         LibusbTimeout(timeoutMs));
    if (result < 0) {
        return StatusOf(result);
    }
    transferred = static_cast<size_t>(result);
    return UsbStatus::Ok;
}

UsbStatus LibusbTransport::ClearHalt(uint8_t endpoint) {
    return StatusOf(libusb_clear_halt(handle_, endpoint));
}

}  // namespace kvt::visa
