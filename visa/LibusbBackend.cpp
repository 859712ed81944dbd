#include "visa/LibusbBackend.h"

#include <libusb.h>

#include "visa/LibusbTransport.h"
#include "visa/UsbtmcProtocol.h"

namespace kvt::visa {
namespace {

struct DeviceList {
    libusb_device** devices = nullptr;
    ssize_t count = 0;
    ~DeviceList() {
        if (devices != nullptr) {
            libusb_free_device_list(devices, 1);
        }
    }
};

std::vector<uint8_t> PortsOf(libusb_device* device) {
    uint8_t ports[8] = {};  // USB allows at most 7 tiers below the root
    int n = libusb_get_port_numbers(device, ports, sizeof ports);
    return n > 0 ? std::vector<uint8_t>(ports, ports + n) : std::vector<uint8_t>{};
}

// The bulk pair (and interrupt endpoint) of a USBTMC interface setting;
// false when the setting lacks a bulk endpoint in either direction.
bool ReadEndpoints(const libusb_interface_descriptor& setting, UsbDeviceInfo& info) {
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& ep = setting.endpoint[e];
        auto type = ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
        bool in = (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
        if (type == LIBUSB_TRANSFER_TYPE_BULK && in && info.bulkInEndpoint == 0) {
            info.bulkInEndpoint = ep.bEndpointAddress;
            info.bulkInMaxPacket = ep.wMaxPacketSize & 0x7FF;
        } else if (type == LIBUSB_TRANSFER_TYPE_BULK && !in && info.bulkOutEndpoint == 0) {
            info.bulkOutEndpoint = ep.bEndpointAddress;
            info.bulkOutMaxPacket = ep.wMaxPacketSize & 0x7FF;
        } else if (type == LIBUSB_TRANSFER_TYPE_INTERRUPT && in) {
            info.interruptInEndpoint = ep.bEndpointAddress;
        }
    }
    return info.bulkInEndpoint != 0 && info.bulkOutEndpoint != 0;
}

// Opens the device briefly for its serial number. The string descriptor
// comes over the default control pipe: no interface is claimed, so the
// kernel driver bound to the USBTMC interface keeps it.
void ReadSerial(libusb_device* device, uint8_t serialIndex, UsbDeviceInfo& info) {
    if (serialIndex == 0) {
        return;
    }
    libusb_device_handle* handle = nullptr;
    int result = libusb_open(device, &handle);
    if (result != LIBUSB_SUCCESS) {
        info.accessDenied = result == LIBUSB_ERROR_ACCESS;
        return;
    }
    unsigned char text[256] = {};
    int n = libusb_get_string_descriptor_ascii(handle, serialIndex, text, sizeof text - 1);
    if (n > 0) {
        info.serial.assign(reinterpret_cast<char*>(text), static_cast<size_t>(n));
    }
    libusb_close(handle);
}

void AddUsbtmcInterfaces(libusb_device* device, std::vector<UsbDeviceInfo>& out) {
    libusb_device_descriptor descriptor;
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
        return;
    }
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
        libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) {
        return;
    }
    size_t first = out.size();
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& interface = config->interface[i];
        for (int a = 0; a < interface.num_altsetting; ++a) {
            const libusb_interface_descriptor& setting = interface.altsetting[a];
            if (setting.bInterfaceClass != usbtmc::kInterfaceClass ||
                setting.bInterfaceSubClass != usbtmc::kInterfaceSubclass) {
                continue;
            }
            UsbDeviceInfo info;
            if (!ReadEndpoints(setting, info)) {
                continue;
            }
            info.bus = libusb_get_bus_number(device);
            info.ports = PortsOf(device);
            info.vendorId = descriptor.idVendor;
            info.productId = descriptor.idProduct;
            info.interfaceNumber = setting.bInterfaceNumber;
            info.interfaceProtocol = setting.bInterfaceProtocol;
            out.push_back(std::move(info));
            break;  // one entry per interface
        }
    }
    libusb_free_config_descriptor(config);
    if (out.size() > first) {
        UsbDeviceInfo serial;
        ReadSerial(device, descriptor.iSerialNumber, serial);
        for (size_t i = first; i < out.size(); ++i) {
            out[i].serial = serial.serial;
            out[i].accessDenied = serial.accessDenied;
        }
    }
}

}  // namespace

libusb_context* LibusbBackend::Context() {
    // Created once; never freed, as sessions may be closed from static destructors.
    static libusb_context* context = [] {
        libusb_context* created = nullptr;
        return libusb_init(&created) == LIBUSB_SUCCESS ? created : nullptr;
    }();
    return context;
}

UsbStatus LibusbBackend::Enumerate(std::vector<UsbDeviceInfo>& devices) {
    libusb_context* context = Context();
    if (context == nullptr) {
        return UsbStatus::Unavailable;
    }
    DeviceList list;
    list.count = libusb_get_device_list(context, &list.devices);
    if (list.count < 0) {
        list.devices = nullptr;
        return UsbStatus::Unavailable;
    }
    for (ssize_t i = 0; i < list.count; ++i) {
        AddUsbtmcInterfaces(list.devices[i], devices);
    }
    return UsbStatus::Ok;
}

UsbStatus LibusbBackend::Open(const UsbDeviceInfo& device,
                              std::unique_ptr<UsbTransport>& transport) {
    libusb_context* context = Context();
    if (context == nullptr) {
        return UsbStatus::Unavailable;
    }
    DeviceList list;
    list.count = libusb_get_device_list(context, &list.devices);
    if (list.count < 0) {
        list.devices = nullptr;
        return UsbStatus::Unavailable;
    }
    for (ssize_t i = 0; i < list.count; ++i) {
        libusb_device* candidate = list.devices[i];
        libusb_device_descriptor descriptor;
        if (libusb_get_bus_number(candidate) != device.bus || PortsOf(candidate) != device.ports ||
            libusb_get_device_descriptor(candidate, &descriptor) != LIBUSB_SUCCESS ||
            descriptor.idVendor != device.vendorId || descriptor.idProduct != device.productId) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        int result = libusb_open(candidate, &handle);
        if (result != LIBUSB_SUCCESS) {
            return LibusbTransport::StatusOf(result);
        }
        // libusb takes the interface from the kernel driver bound to it (the
        // kernel's usbtmc driver) when it is claimed and gives it back on
        // release; where it cannot, do it by hand. Only the USBTMC interface
        // is taken, by its own number: the other interfaces of a composite
        // device keep their drivers.
        const int number = device.interfaceNumber;
        bool reattach = false;
        if (libusb_set_auto_detach_kernel_driver(handle, 1) != LIBUSB_SUCCESS &&
            libusb_kernel_driver_active(handle, number) == 1) {
            result = libusb_detach_kernel_driver(handle, number);
            reattach = result == LIBUSB_SUCCESS;
            if (result != LIBUSB_SUCCESS && result != LIBUSB_ERROR_NOT_FOUND) {
                libusb_close(handle);
                return result == LIBUSB_ERROR_NO_DEVICE ? UsbStatus::NotFound
                                                        : UsbStatus::DriverAttached;
            }
        }
        result = libusb_claim_interface(handle, number);
        if (result != LIBUSB_SUCCESS) {
            UsbStatus status = result == LIBUSB_ERROR_NO_DEVICE ? UsbStatus::NotFound
                                                                : LibusbTransport::StatusOf(result);
            // A kernel driver still bound would not be detached; without one,
            // another program (through usbfs) holds the interface.
            if (status != UsbStatus::NotFound && libusb_kernel_driver_active(handle, number) == 1) {
                status = UsbStatus::DriverAttached;
            }
            if (reattach) {
                libusb_attach_kernel_driver(handle, number);
            }
            libusb_close(handle);
            return status;
        }
        transport = std::make_unique<LibusbTransport>(Context(), handle, device, reattach);
        return UsbStatus::Ok;
    }
    return UsbStatus::NotFound;
}

}  // namespace kvt::visa
