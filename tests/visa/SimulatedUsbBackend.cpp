#include "tests/visa/SimulatedUsbBackend.h"

namespace kvt::visa {
namespace {

// The session's end of a simulated device; releases the claim when destroyed.
class ClaimedTransport : public UsbTransport {
public:
    explicit ClaimedTransport(std::shared_ptr<SimulatedUsbtmcDevice> device)
        : device_(std::move(device)) {
        device_->SetClaimed(true);
    }
    ~ClaimedTransport() override { device_->SetClaimed(false); }
    ClaimedTransport(const ClaimedTransport&) = delete;
    ClaimedTransport& operator=(const ClaimedTransport&) = delete;

    UsbStatus BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                      size_t& transferred) override {
        return device_->BulkOut(data, length, timeoutMs, transferred);
    }
    UsbStatus BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                     size_t& transferred) override {
        return device_->BulkIn(data, length, timeoutMs, transferred);
    }
    UsbStatus ControlIn(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        uint8_t* data, uint16_t length, unsigned timeoutMs,
                        size_t& transferred) override {
        return device_->ControlIn(requestType, request, value, index, data, length, timeoutMs,
                                  transferred);
    }
    UsbStatus ClearHalt(uint8_t endpoint) override { return device_->ClearHalt(endpoint); }
    void Cancel() override { device_->Cancel(); }
    UsbStatus InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                          size_t& transferred) override {
        return device_->InterruptIn(data, length, timeoutMs, transferred);
    }

private:
    std::shared_ptr<SimulatedUsbtmcDevice> device_;
};

}  // namespace

void SimulatedUsbBackend::Attach(std::shared_ptr<SimulatedUsbtmcDevice> device) {
    std::lock_guard<std::mutex> lock(mutex_);
    devices_.push_back(std::move(device));
}

void SimulatedUsbBackend::FailEnumeration(UsbStatus status) {
    std::lock_guard<std::mutex> lock(mutex_);
    enumeration_ = status;
}

void SimulatedUsbBackend::FailOpen(UsbStatus status) {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = status;
}

UsbStatus SimulatedUsbBackend::Enumerate(std::vector<UsbDeviceInfo>& devices) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (enumeration_ != UsbStatus::Ok) {
        return enumeration_;
    }
    for (const auto& device : devices_) {
        devices.push_back(device->Info());
    }
    return UsbStatus::Ok;
}

UsbStatus SimulatedUsbBackend::Open(const UsbDeviceInfo& info,
                                    std::unique_ptr<UsbTransport>& transport) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_ != UsbStatus::Ok) {
        return open_;
    }
    for (const auto& device : devices_) {
        const UsbDeviceInfo& d = device->Info();
        if (d.bus == info.bus && d.ports == info.ports &&
            d.interfaceNumber == info.interfaceNumber) {
            if (device->Claimed()) {
                return UsbStatus::Busy;
            }
            transport = std::make_unique<ClaimedTransport>(device);
            return UsbStatus::Ok;
        }
    }
    return UsbStatus::NotFound;
}

}  // namespace kvt::visa
