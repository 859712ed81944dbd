#include "link/OpenFailure.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/CConectWithNI.h"
#include "visa/visa.h"

namespace kvt::link {
namespace {

constexpr const char* kUdevAdvice =
    "Install the udev rule for USB instruments (README.md, \"USB instruments: the udev rule\"), "
    "then unplug the meter and plug it in again.";

// The text in double quotes. Built by appending: GCC 12 at -O3 reports a
// false -Wrestrict for a literal prepended to a temporary string.
std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

std::string StatusText(ViStatus status) {
    std::array<char, 16> hex{};
    std::snprintf(hex.data(), hex.size(), "0x%08X", static_cast<unsigned>(status));
    return hex.data();
}

bool IsNetworkResource(std::string_view resource) {
    return resource.find("TCPIP") != std::string_view::npos;
}

// The host field of "TCPIP0::<host>::inst0::INSTR".
std::string HostOf(std::string_view resource) {
    size_t start = resource.find("::");
    if (start == std::string_view::npos) {
        return std::string(resource);
    }
    start += 2;
    size_t end = resource.find("::", start);
    return std::string(resource.substr(start, end == std::string_view::npos ? end : end - start));
}

// A host made of digits and points only is meant as an IPv4 address; true
// when it is not a complete one ("192.168..", "...", "1.2.3").
bool IncompleteIpv4(const std::string& host) {
    if (host.find_first_not_of("0123456789.") != std::string::npos) {
        return false;
    }
    in_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) != 1;
}

std::string ReadLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// True when the host has a USB test-and-measurement interface (class 0xFE,
// subclass 0x03) whose device node this user may not open. The VISA
// search leaves such devices out, so "nothing found" alone would mislead.
bool UsbInstrumentWithoutPermission() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path devices("/sys/bus/usb/devices");
    for (fs::directory_iterator it(devices, error), end; !error && it != end; it.increment(error)) {
        const fs::path interface = it->path();
        if (ReadLine(interface / "bInterfaceClass") != "fe" ||
            ReadLine(interface / "bInterfaceSubClass") != "03") {
            continue;
        }
        const fs::path device = fs::canonical(interface, error).parent_path();
        int bus = std::atoi(ReadLine(device / "busnum").c_str());
        int number = std::atoi(ReadLine(device / "devnum").c_str());
        std::array<char, 32> node{};
        std::snprintf(node.data(), node.size(), "/dev/bus/usb/%03d/%03d", bus, number);
        if (bus > 0 && number > 0 && access(node.data(), R_OK | W_OK) != 0) {
            return true;
        }
    }
    return false;
}

std::string DescribeOpenStatus(std::string_view resource, ViStatus status) {
    const bool network = IsNetworkResource(resource);
    const std::string host = network ? HostOf(resource) : std::string();
    switch (status) {
        case VI_ERROR_RSRC_NFOUND:
            if (network && resource.ends_with("::SOCKET")) {
                return "Nothing answers on the raw socket at " + host +
                       ": the connection was refused, the address cannot be reached, or no "
                       "instrument listens on that port.";
            }
            if (network) {
                return "Nothing answers as a VXI-11 instrument at " + host +
                       ": the connection was refused, the address cannot be reached, or no "
                       "VXI-11 server runs there.";
            }
            return "The USB instrument disappeared while it was being opened. Check its cable.";
        case VI_ERROR_TMO:
            return "No answer from " + host +
                   " within the timeout. Check the address, the network and that the meter "
                   "is switched on.";
        case VI_ERROR_INV_RSRC_NAME:
            if (network) {
                return Quoted(host) + " is not a complete IPv4 address.";
            }
            return Quoted(resource) + " is not a valid VISA resource name.";
        case VI_ERROR_RSRC_BUSY:
        case VI_ERROR_RSRC_LOCKED:
            if (network) {
                return "The instrument is in use by another program or driver.";
            }
            return "The instrument is in use by another program or driver. Close the other "
                   "program, or unload the kernel's usbtmc driver (sudo rmmod usbtmc), then "
                   "unplug the meter and plug it in again.";
        case VI_ERROR_INV_SETUP:
            return std::string("This user may not open the USB instrument. ") + kUdevAdvice;
        case VI_ERROR_CONN_LOST:
            return "The instrument closed the connection while it was being opened.";
        default:
            return "The VISA layer reported status " + StatusText(status) + ".";
    }
}

}  // namespace

std::string DescribeOpenFailure(std::string_view resource,
                                const CConectWithNI::OpenFailure& failure) {
    using OpenStep = CConectWithNI::OpenStep;
    if (resource.size() > CConectWithNI::kMaxResourceLength) {
        return "The address is too long.";
    }
    if (IsNetworkResource(resource) && IncompleteIpv4(HostOf(resource))) {
        return Quoted(HostOf(resource)) +
               " is not a complete IPv4 address: fill in all four fields.";
    }
    switch (failure.step) {
        case OpenStep::None:
            return {};
        case OpenStep::ResourceManager:
            if (failure.status == VI_ERROR_LIBRARY_NFOUND) {
                return "The VISA library named by KORVATA_VISA_LIBRARY cannot be loaded or lacks "
                       "one of the VISA calls.";
            }
            return "The VISA resource manager cannot be opened (status " +
                   StatusText(failure.status) + ").";
        case OpenStep::Search:
            if (UsbInstrumentWithoutPermission()) {
                return std::string(
                           "A USB instrument is attached, but this user may not open it. ") +
                       kUdevAdvice;
            }
            return "No USB instrument was found. Check that the meter is switched on and "
                   "connected by its USB cable.";
        case OpenStep::ResourceText:
        case OpenStep::Session:
            break;
    }
    return DescribeOpenStatus(resource, failure.status);
}

std::string DescribeOpenFailure(std::string_view resource) {
    // The one connection is a CConectWithNI (GetConnection makes it).
    const auto* connection = static_cast<const CConectWithNI*>(GetConnection());
    return DescribeOpenFailure(resource, connection->LastOpenFailure());
}

}  // namespace kvt::link
