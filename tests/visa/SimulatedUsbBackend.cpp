#include "tests/visa/SimulatedUsbBackend.h"

namespace kvt::visa {
namespace {

// The session's end of a simulated device; releases the claim when destroyed.
class ClaimedTransport : public UsbTransport {
public:
    explicit ClaimedTransport(std::shared_ptr<SimulatedUsbtmcDevice> device)
        : m_device(std::move(device)) {
        m_device->SetClaimed(true);
    }
    ~ClaimedTransport() override { m_device->SetClaimed(false); }
    ClaimedTransport(const ClaimedTransport&) = delete;
    ClaimedTransport& operator=(const ClaimedTransport&) = delete;

    UsbStatus BulkOut(const uint8_t* data, size_t length, unsigned timeoutMs,
                      size_t& transferred) override {
        return m_device->BulkOut(data, length, timeoutMs, transferred);
    }
    UsbStatus BulkIn(uint8_t* data, size_t length, unsigned timeoutMs,
                     size_t& transferred) override {
        return m_device->BulkIn(data, length, timeoutMs, transferred);
    }
    UsbStatus ControlIn(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        uint8_t* data, uint16_t length, unsigned timeoutMs,
                        size_t& transferred) override {
        return m_device->ControlIn(requestType, request, value, index, data, length, timeoutMs,
                                   transferred);
    }
    UsbStatus ClearHalt(uint8_t endpoint) override { return m_device->ClearHalt(endpoint); }
    void Cancel() override { m_device->Cancel(); }
    UsbStatus InterruptIn(uint8_t* data, size_t length, unsigned timeoutMs,
                          size_t& transferred) override {
        return m_device->InterruptIn(data, length, timeoutMs, transferred);
    }

private:
    std::shared_ptr<SimulatedUsbtmcDevice> m_device;
};

}  // namespace

void SimulatedUsbBackend::Attach(std::shared_ptr<SimulatedUsbtmcDevice> device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devices.push_back(std::move(device));
}

void SimulatedUsbBackend::FailEnumeration(UsbStatus status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enumeration = status;
}

void SimulatedUsbBackend::FailOpen(UsbStatus status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = status;
}

void SimulatedUsbBackend::FailOpenOfInterface(uint8_t interfaceNumber, UsbStatus status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openOfInterface[interfaceNumber] = status;
}

UsbStatus SimulatedUsbBackend::Enumerate(std::vector<UsbDeviceInfo>& devices) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_enumeration != UsbStatus::Ok) {
        return m_enumeration;
    }
    for (const auto& device : m_devices) {
        devices.push_back(device->Info());
    }
    return UsbStatus::Ok;
}

UsbStatus SimulatedUsbBackend::Open(const UsbDeviceInfo& info,
                                    std::unique_ptr<UsbTransport>& transport) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_open != UsbStatus::Ok) {
        return m_open;
    }
    auto failure = m_openOfInterface.find(info.interfaceNumber);
    if (failure != m_openOfInterface.end()) {
        return failure->second;
    }
    for (const auto& device : m_devices) {
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
