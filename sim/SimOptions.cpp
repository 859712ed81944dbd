#include "sim/SimOptions.h"

#include <charconv>

namespace kvt::sim {
namespace {

bool ParseNumber(const std::string& text, uint64_t maximum, uint64_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && value <= maximum;
}

bool ParsePort(const std::string& option, const std::string& text, uint16_t& port,
               std::string& error) {
    uint64_t value = 0;
    if (!ParseNumber(text, 65535, value)) {
        error = option + ": \"" + text + "\" is not a port number (0-65535)";
        return false;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

const char* SimOptions::Usage() {
    return "Usage: korvata-sim [OPTION]...\n"
           "Serves a simulated bench multimeter over the network.\n"
           "\n"
           "  --socket PORT        raw SCPI socket port (default 5025; 0 picks a free port).\n"
           "                       The raw socket is always served.\n"
           "  --vxi11              also serve VXI-11 (core and abort channels), registered\n"
           "                       with rpcbind when it runs, else with a built-in portmapper\n"
           "  --portmapper PORT    with --vxi11: answer portmapper lookups on PORT with the\n"
           "                       built-in portmapper (0 picks a free port) instead of\n"
           "                       registering with rpcbind (or, without it, taking 111)\n"
           "  --announce           announce the raw socket (_scpi-raw._tcp) and, with --vxi11,\n"
           "                       VXI-11 (_vxi-11._tcp on the portmapper's port) by multicast\n"
           "                       DNS through the Avahi daemon; without Avahi it warns and\n"
           "                       serves on unannounced\n"
           "  --seed N             seed of the readings' noise (default 1)\n"
           "  --log FILE           write every command received (\"> \") and reply sent (\"< \")\n"
           "                       to FILE, one per line, non-printable bytes escaped\n"
           "  --fault KEY=VALUE    inject a fault (repeatable):\n"
           "                         delay=MS          every reply waits MS milliseconds\n"
           "                         silent-after=N    no reply after the Nth command\n"
           "                         drop-after=N      after the Nth command, replies are cut\n"
           "                                           in half and the connection closed\n"
           "                         garbage-every=N   every Nth reply is random bytes\n"
           "                         oversize=BYTES    replies padded with blanks to BYTES\n"
           "  --quirk NAME[,NAME]  with --vxi11: behave as some real instruments do\n"
           "                       (repeatable):\n"
           "                         max-recv-1024     maxRecvSize 1024, longer device_writes\n"
           "                                           refused\n"
           "                         max-recv-128      the same with 128\n"
           "                         pieces-40         replies in pieces of 40 bytes, REQCNT\n"
           "                                           before the last\n"
           "                         pieces-40-bare    the same with no reason bit before the\n"
           "                                           last\n"
           "                         ignore-termchar   the termination character asked for is\n"
           "                                           neither stopped at nor reported\n"
           "                         late-end          END alone in a zero-length reply after\n"
           "                                           the data\n"
           "                         empty-reads       a zero-length reply without END before\n"
           "                                           each piece of data\n"
           "                         fragments         RPC replies in several record fragments\n"
           "                                           and TCP segments\n"
           "                         no-lock-wait      create_link, device_read, device_write\n"
           "                                           that would wait for a lock are refused\n"
           "                         one-link          one link at a time (\"locked\" for\n"
           "                                           another); links outlive their connection\n"
           "                                           until destroy_link\n"
           "                         all               every one of these (max-recv-128)\n"
           "  --help               show this text\n"
           "\n"
           "Once listening it prints the ports (\"ports: socket=5025 ...\") and a line \"ready\";\n"
           "with --announce, \"announced: NAME\" once the services are announced.\n"
           "SIGINT or SIGTERM stops it; with --vxi11 it then prints how many VXI-11 links\n"
           "were still open (\"links: 0\").\n";
}

bool SimOptions::Parse(const std::vector<std::string>& arguments, std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> inlineValue;
        if (size_t equals = option.find('=');
            option.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option.resize(equals);
        }
        bool takesValue = option == "--socket" || option == "--portmapper" || option == "--seed" ||
                          option == "--log" || option == "--fault" || option == "--quirk";
        if (!takesValue && !inlineValue) {
            bool* flag = option == "--help"       ? &help
                         : option == "--vxi11"    ? &vxi11
                         : option == "--announce" ? &announce
                                                  : nullptr;
            if (flag != nullptr) {
                *flag = true;
                continue;
            }
        }
        if (!takesValue) {
            error = "unknown option \"" + arguments[i] + "\"";
            return false;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = option + " needs a value";
            return false;
        }
        uint64_t number = 0;
        if (option == "--socket") {
            if (!ParsePort(option, value, socketPort, error)) {
                return false;
            }
        } else if (option == "--portmapper") {
            uint16_t port = 0;
            if (!ParsePort(option, value, port, error)) {
                return false;
            }
            portmapperPort = port;
        } else if (option == "--seed") {
            if (!ParseNumber(value, UINT64_MAX, number)) {
                error = "--seed: \"" + value + "\" is not a whole number";
                return false;
            }
            seed = number;
        } else if (option == "--log") {
            if (value.empty()) {
                error = "--log needs a file name";
                return false;
            }
            logPath = value;
        } else if (option == "--quirk") {
            if (!quirks.Apply(value, error)) {
                return false;
            }
        } else if (!faults.Apply(value, error)) {
            return false;
        }
    }
    if (portmapperPort && !vxi11) {
        error = "--portmapper is only meaningful with --vxi11";
        return false;
    }
    if (quirks.Any() && !vxi11) {
        error = "--quirk is only meaningful with --vxi11";
        return false;
    }
    return true;
}

}  // namespace kvt::sim
