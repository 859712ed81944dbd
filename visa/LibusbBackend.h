#pragma once

#include "visa/UsbBackend.h"

struct libusb_context;

namespace kvt::visa {

// The host's USB devices through libusb-1.0. One libusb context serves the
// whole process; it is created on first use and lives until the process ends.
class LibusbBackend : public UsbBackend {
public:
    UsbStatus Enumerate(std::vector<UsbDeviceInfo>& devices) override;
    UsbStatus Open(const UsbDeviceInfo& device, std::unique_ptr<UsbTransport>& transport) override;

private:
    static libusb_context* Context();
};

}  // namespace kvt::visa
