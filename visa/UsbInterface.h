#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "visa/InterfaceProvider.h"
#include "visa/UsbBackend.h"

namespace kvt::visa {

// USB[n]::vid::pid::serial[::interface]::INSTR over USBTMC. Lists every
// USBTMC interface on the bus in bus and port order; the interface number
// is part of the name when it is not 0.
//
// Open fails with VI_ERROR_RSRC_NFOUND when no such device is attached,
// VI_ERROR_RSRC_BUSY when another program or driver holds the interface,
// and VI_ERROR_INV_SETUP when this host does not let us use it: USB cannot
// be accessed at all, or the device may not be opened (no udev rule
// granting access). For the last two the reason, naming the interface and
// what to do about it, is also printed on stderr.
class UsbInterface : public InterfaceProvider {
public:
    UsbInterface();  // the host's devices, through libusb
    explicit UsbInterface(std::shared_ptr<UsbBackend> backend);

    bool Serves(const ResourceName& name) const override;
    std::vector<std::string> ListResources() override;
    ViStatus Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                  std::unique_ptr<Session>& session) override;

    // The resource name a device interface is listed under.
    static ResourceName NameOf(const UsbDeviceInfo& device);

private:
    // USBTMC interfaces in listing order; false when USB is not usable.
    bool Devices(std::vector<UsbDeviceInfo>& devices);
    void WarnAccessDenied(const UsbDeviceInfo& device);
    // Says who holds the interface (Busy or DriverAttached) and how to free it.
    static void WarnBusy(const UsbDeviceInfo& device, UsbStatus status);

    std::shared_ptr<UsbBackend> m_backend;
    std::mutex m_warnedMutex;
    std::set<std::string> m_warned;
};

}  // namespace kvt::visa
