#include "visa/LibusbTransport.h"

#include <libusb.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace kvt::visa {
namespace {

// libusb waits for ever on 0; VISA's immediate timeout becomes 1 ms.
unsigned LibusbTimeout(unsigned timeoutMs) {
    if (timeoutMs == kUsbNoTimeout) {
        return 0;
    }
    return std::max(timeoutMs, 1u);
}

extern "C" void LIBUSB_CALL MarkCompleted(libusb_transfer* transfer) {
    *static_cast<int*>(transfer->user_data) = 1;
}

UsbStatus StatusOfTransfer(libusb_transfer_status status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return UsbStatus::Ok;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return UsbStatus::Timeout;
        case LIBUSB_TRANSFER_CANCELLED:
            return UsbStatus::Cancelled;
        case LIBUSB_TRANSFER_STALL:
            return UsbStatus::Stall;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return UsbStatus::Disconnected;
        case LIBUSB_TRANSFER_OVERFLOW:
            return UsbStatus::Overflow;
        default:
            return UsbStatus::Error;
    }
}

// Frees a transfer (not its buffer) when the call that made it returns.
struct TransferDeleter {
    void operator()(libusb_transfer* transfer) const { libusb_free_transfer(transfer); }
};
using TransferPtr = std::unique_ptr<libusb_transfer, TransferDeleter>;

}  // namespace

LibusbTransport::LibusbTransport(libusb_context* context, libusb_device_handle* handle,
                                 const UsbDeviceInfo& device, bool reattachDriver)
    : m_context(context),
      m_handle(handle),
      m_interfaceNumber(device.interfaceNumber),
      m_bulkOut(device.bulkOutEndpoint),
      m_bulkIn(device.bulkInEndpoint),
      m_interruptIn(device.interruptInEndpoint),
      m_reattachDriver(reattachDriver) {}

LibusbTransport::~LibusbTransport() {
    // Each step fails harmlessly when the device has been unplugged.
    libusb_release_interface(m_handle, m_interfaceNumber);
    if (m_reattachDriver) {
        libusb_attach_kernel_driver(m_handle, m_interfaceNumber);
    }
    libusb_close(m_handle);
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

void LibusbTransport::Cancel() {
    std::lock_guard<std::mutex> lock(m_cancelMutex);
    m_cancelled = true;
    if (m_running != nullptr) {
        libusb_cancel_transfer(m_running);
    }
}

UsbStatus LibusbTransport::Run(libusb_transfer* transfer) {
    int completed = 0;
    transfer->user_data = &completed;
    transfer->callback = MarkCompleted;
    {
        std::lock_guard<std::mutex> lock(m_cancelMutex);
        if (m_cancelled) {
            return UsbStatus::Cancelled;
        }
        int submitted = libusb_submit_transfer(transfer);
        if (submitted != LIBUSB_SUCCESS) {
            return StatusOf(submitted);
        }
        m_running = transfer;
    }
    // As libusb's own synchronous calls do: handle events until this
    // transfer completes; on an event-handling failure, cancel it and wait
    // for the cancellation so that its buffer is no longer in use.
    while (completed == 0) {
        int result = libusb_handle_events_completed(m_context, &completed);
        if (result < 0 && result != LIBUSB_ERROR_INTERRUPTED) {
            libusb_cancel_transfer(transfer);
        }
    }
    std::lock_guard<std::mutex> lock(m_cancelMutex);
    m_running = nullptr;
    return StatusOfTransfer(transfer->status);
}

UsbStatus LibusbTransport::Transfer(unsigned char type, uint8_t endpoint, uint8_t* data,
                                    size_t length, unsigned timeoutMs, size_t& transferred) {
    transferred = 0;
    TransferPtr transfer(libusb_alloc_transfer(0));
    if (!transfer) {
        return UsbStatus::Error;
    }
    transfer->dev_handle = m_handle;
    transfer->endpoint = endpoint;
    transfer->type = type;
    transfer->timeout = LibusbTimeout(timeoutMs);
    transfer->buffer = data;
    transfer->length = static_cast<int>(std::min<size_t>(length, INT_MAX));
    UsbStatus status = Run(transfer.get());
    transferred = static_cast<size_t>(std::max(transfer->actual_length, 0));
    return status;
}

UsbStatus LibusbTransport::InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                       size_t& transferred) {
    transferred = 0;
    if (m_interruptIn == 0) {
        return UsbStatus::Error;
    }
    return Transfer(LIBUSB_TRANSFER_TYPE_INTERRUPT, m_interruptIn, data, length, timeoutMs,
                    transferred);
}

UsbStatus LibusbTransport::BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                                   size_t& transferred) {
    // libusb does not write through the buffer of an OUT transfer.
    return Transfer(LIBUSB_TRANSFER_TYPE_BULK, m_bulkOut, const_cast<uint8_t*>(data), length,
                    timeoutMs, transferred);
}

UsbStatus LibusbTransport::BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                                  size_t& transferred) {
    return Transfer(LIBUSB_TRANSFER_TYPE_BULK, m_bulkIn, data, length, timeoutMs, transferred);
}

UsbStatus LibusbTransport::ControlIn(uint8_t requestType, uint8_t request, uint16_t value,
                                     uint16_t index, uint8_t* data, uint16_t length,
                                     unsigned timeoutMs, size_t& transferred) {
    transferred = 0;
    // The setup packet and the data stage share one buffer.
    std::vector<unsigned char> buffer(LIBUSB_CONTROL_SETUP_SIZE + size_t{length});
    libusb_fill_control_setup(buffer.data(), requestType, request, value, index, length);
    TransferPtr transfer(libusb_alloc_transfer(0));
    if (!transfer) {
        return UsbStatus::Error;
    }
    libusb_fill_control_transfer(transfer.get(), m_handle, buffer.data(), nullptr, nullptr,
                                 LibusbTimeout(timeoutMs));
    UsbStatus status = Run(transfer.get());
    if (status == UsbStatus::Ok) {
        transferred = static_cast<size_t>(std::max(transfer->actual_length, 0));
        std::memcpy(data, libusb_control_transfer_get_data(transfer.get()), transferred);
    }
    return status;
}

UsbStatus LibusbTransport::ClearHalt(uint8_t endpoint) {
    {
        std::lock_guard<std::mutex> lock(m_cancelMutex);
        if (m_cancelled) {
            return UsbStatus::Cancelled;
        }
    }
    return StatusOf(libusb_clear_halt(m_handle, endpoint));
}

}  // namespace kvt::visa
