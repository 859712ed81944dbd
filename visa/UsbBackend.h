#pragma once

#include <memory>
#include <vector>

#include "visa/UsbTransport.h"

namespace kvt::visa {

// Access to the host's USB devices: lists USBTMC interfaces and opens one
// for exclusive use. Implementations are thread-safe.
class UsbBackend {
public:
    virtual ~UsbBackend() = default;

    // Every interface of class 0xFE subclass 3 on the bus, in no particular order.
    virtual UsbStatus Enumerate(std::vector<UsbDeviceInfo>& devices) = 0;

    // Opens the device, takes the interface from any kernel driver and
    // claims it. The driver gets the interface back when the transport is
    // destroyed.
    virtual UsbStatus Open(const UsbDeviceInfo& device,
                           std::unique_ptr<UsbTransport>& transport) = 0;
};

}  // namespace kvt::visa
