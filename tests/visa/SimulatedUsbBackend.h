#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "tests/visa/SimulatedUsbtmcDevice.h"
#include "visa/UsbBackend.h"

namespace kvt::visa {

// A bus of simulated USBTMC devices behind the backend seam. A device is
// claimed while a transport for it exists, as the kernel driver would be
// detached for that time.
class SimulatedUsbBackend : public UsbBackend {
public:
    void Attach(std::shared_ptr<SimulatedUsbtmcDevice> device);
    // Every later Enumerate (or Open) fails with this status.
    void FailEnumeration(UsbStatus status);
    // Every later Open fails with this status.
    void FailOpen(UsbStatus status);
    // Every later Open of an interface with this number fails with this
    // status (a kernel driver that will not let go of it, say).
    void FailOpenOfInterface(uint8_t interfaceNumber, UsbStatus status);

    UsbStatus Enumerate(std::vector<UsbDeviceInfo>& devices) override;
    UsbStatus Open(const UsbDeviceInfo& device, std::unique_ptr<UsbTransport>& transport) override;

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<SimulatedUsbtmcDevice>> m_devices;
    UsbStatus m_enumeration = UsbStatus::Ok;
    UsbStatus m_open = UsbStatus::Ok;
    std::map<uint8_t, UsbStatus> m_openOfInterface;
};

}  // namespace kvt::visa
