#include "visa/UsbInterface.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "visa/LibusbBackend.h"
#include "visa/UsbtmcSession.h"

namespace kvt::visa {
namespace {

// Serial numbers become one field of a resource name: characters that
// cannot appear there are replaced, and a device without one is listed as "0".
std::string SerialField(const std::string& serial) {
    if (serial.empty()) {
        return "0";
    }
    std::string field = serial;
    for (char& c : field) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == ':') {
            c = '_';
        }
    }
    return field;
}

std::string PortPath(const UsbDeviceInfo& device) {
    std::string path = std::to_string(device.bus) + "-";
    for (size_t i = 0; i < device.ports.size(); ++i) {
        if (i != 0) {
            path += '.';
        }
        path += std::to_string(device.ports[i]);
    }
    return path;
}

bool Matches(const UsbDeviceInfo& device, const ResourceName& name) {
    if (device.vendorId != name.vendorId || device.productId != name.productId) {
        return false;
    }
    return name.usbInterface < 0 || device.interfaceNumber == name.usbInterface;
}

ViStatus OpenStatus(UsbStatus status) {
    switch (status) {
        case UsbStatus::Ok:
            return VI_SUCCESS;
        case UsbStatus::Busy:
        case UsbStatus::DriverAttached:
            return VI_ERROR_RSRC_BUSY;
        case UsbStatus::AccessDenied:
        case UsbStatus::Unavailable:
            return VI_ERROR_INV_SETUP;
        case UsbStatus::NotFound:
        case UsbStatus::Disconnected:
            return VI_ERROR_RSRC_NFOUND;
        default:
            return VI_ERROR_IO;
    }
}

}  // namespace

UsbInterface::UsbInterface() : UsbInterface(std::make_shared<LibusbBackend>()) {}

UsbInterface::UsbInterface(std::shared_ptr<UsbBackend> backend) : m_backend(std::move(backend)) {}

ResourceName UsbInterface::NameOf(const UsbDeviceInfo& device) {
    ResourceName name;
    name.kind = InterfaceKind::Usb;
    name.vendorId = device.vendorId;
    name.productId = device.productId;
    name.serial = SerialField(device.serial);
    name.usbInterface = device.interfaceNumber == 0 ? -1 : device.interfaceNumber;
    return name;
}

bool UsbInterface::Serves(const ResourceName& name) const {
    return name.kind == InterfaceKind::Usb;
}

bool UsbInterface::Devices(std::vector<UsbDeviceInfo>& devices) {
    devices.clear();
    if (m_backend->Enumerate(devices) != UsbStatus::Ok) {
        devices.clear();
        return false;
    }
    std::stable_sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
        return std::tie(a.bus, a.ports, a.interfaceNumber) <
               std::tie(b.bus, b.ports, b.interfaceNumber);
    });
    return true;
}

void UsbInterface::WarnAccessDenied(const UsbDeviceInfo& device) {
    std::string where = PortPath(device);
    {
        std::lock_guard<std::mutex> lock(m_warnedMutex);
        if (!m_warned.insert(where).second) {
            return;
        }
    }
    std::fprintf(stderr,
                 "korvata-visa: no permission to open the USBTMC device 0x%04X:0x%04X at USB %s; "
                 "install the udev rule 70-korvata-usbtmc.rules and reconnect it\n",
                 device.vendorId, device.productId, where.c_str());
}

void UsbInterface::WarnBusy(const UsbDeviceInfo& device, UsbStatus status) {
    std::string where = PortPath(device);
    if (status == UsbStatus::DriverAttached) {
        std::fprintf(stderr,
                     "korvata-visa: a kernel driver (usually usbtmc) holds interface %u of the "
                     "USBTMC device 0x%04X:0x%04X at USB %s and could not be detached from it; "
                     "unload the driver with \"sudo rmmod usbtmc\", make sure the udev rule "
                     "70-korvata-usbtmc.rules is installed, and reconnect the device\n",
                     unsigned{device.interfaceNumber}, device.vendorId, device.productId,
                     where.c_str());
        return;
    }
    std::fprintf(stderr,
                 "korvata-visa: interface %u of the USBTMC device 0x%04X:0x%04X at USB %s is in "
                 "use by another program or driver; close the other program, or unload the "
                 "kernel's usbtmc driver with \"sudo rmmod usbtmc\"\n",
                 unsigned{device.interfaceNumber}, device.vendorId, device.productId,
                 where.c_str());
}

std::vector<std::string> UsbInterface::ListResources() {
    std::vector<UsbDeviceInfo> devices;
    Devices(devices);
    std::vector<std::string> names;
    for (const UsbDeviceInfo& device : devices) {
        if (device.accessDenied) {
            WarnAccessDenied(device);  // its serial number, and so its name, is unknown
            continue;
        }
        names.push_back(NameOf(device).Canonical());
    }
    return names;
}

ViStatus UsbInterface::Open(const ResourceName& name, ViUInt32 /*openTimeoutMs*/,
                            std::unique_ptr<Session>& session) {
    std::vector<UsbDeviceInfo> devices;
    if (!Devices(devices)) {
        return VI_ERROR_INV_SETUP;
    }
    ViStatus status = VI_ERROR_RSRC_NFOUND;
    for (const UsbDeviceInfo& device : devices) {
        if (!Matches(device, name)) {
            continue;
        }
        if (device.accessDenied) {
            WarnAccessDenied(device);
            status = VI_ERROR_INV_SETUP;  // might be this one; we may not look
            continue;
        }
        if (NameOf(device).serial != name.serial) {
            continue;
        }
        std::unique_ptr<UsbTransport> transport;
        UsbStatus result = m_backend->Open(device, transport);
        status = OpenStatus(result);
        if (status == VI_ERROR_INV_SETUP) {
            WarnAccessDenied(device);
        } else if (status == VI_ERROR_RSRC_BUSY) {
            WarnBusy(device, result);
        }
        if (status == VI_ERROR_RSRC_NFOUND) {
            // Gone since the bus was listed: a meter being power-cycled can
            // be listed at its old place and its new one for a moment.
            continue;
        }
        if (status < VI_SUCCESS) {
            return status;
        }
        ResourceName opened = NameOf(device);
        opened.board = name.board;
        auto usb = std::make_unique<UsbtmcSession>(opened.Canonical(), name.board, device,
                                                   std::move(transport));
        status = usb->Start();
        if (status == VI_ERROR_RSRC_NFOUND) {
            continue;  // unplugged as it was opened: as above
        }
        if (status < VI_SUCCESS) {
            return status;
        }
        session = std::move(usb);
        return VI_SUCCESS;
    }
    return status;
}

}  // namespace kvt::visa
