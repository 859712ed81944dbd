#include "log/LogOptions.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "log/LogFunctions.h"

namespace kvt::logger {
namespace {

enum class Key {
    Function,
    Range,
    Output,
    Count,
    Duration,
    NoReconnect,
    Quiet,
    Verbose,
    List,
    Help,
    Version
};

struct OptionEntry {
    char shortName;  // 0: none
    std::string_view longName;
    bool takesValue;
    Key key;
};

constexpr std::array<OptionEntry, 11> kOptions{{
    {'f', "function", true, Key::Function},
    {'r', "range", true, Key::Range},
    {'o', "output", true, Key::Output},
    {'n', "count", true, Key::Count},
    {'d', "duration", true, Key::Duration},
    {0, "no-reconnect", false, Key::NoReconnect},
    {'q', "quiet", false, Key::Quiet},
    {'v', "verbose", false, Key::Verbose},
    {'l', "list", false, Key::List},
    {'h', "help", false, Key::Help},
    {'V', "version", false, Key::Version},
}};

const OptionEntry* FindLong(std::string_view name) {
    for (const OptionEntry& entry : kOptions) {
        if (entry.longName == name) {
            return &entry;
        }
    }
    return nullptr;
}

const OptionEntry* FindShort(char name) {
    for (const OptionEntry& entry : kOptions) {
        if (entry.shortName != 0 && entry.shortName == name) {
            return &entry;
        }
    }
    return nullptr;
}

std::string FunctionNames() {
    std::string names;
    for (const LogFunction& function : LogFunctions()) {
        names += names.empty() ? "" : ", ";
        names += function.shortName;
    }
    return names;
}

std::optional<uint64_t> ParseCount(std::string_view text) {
    uint64_t value = 0;
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result != std::errc() || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

// Applies one option with its value (empty for a flag).
bool Apply(LogOptions& options, const OptionEntry& entry, const std::string& value,
           std::string& error) {
    const std::string shown = "--" + std::string(entry.longName);
    switch (entry.key) {
        case Key::Function:
            if (FindLogFunction(value) == nullptr) {
                error = "Unknown function \"" + value + "\" for " + shown + ": use one of " +
                        FunctionNames() + ".";
                return false;
            }
            options.function = value;
            return true;
        case Key::Range:
            if (value.empty()) {
                error = shown + " needs a range, such as 20V, 2k or auto.";
                return false;
            }
            options.range = value;
            return true;
        case Key::Output:
            if (value.empty()) {
                error = shown + " needs a file name, or - for standard output.";
                return false;
            }
            options.output = value;
            return true;
        case Key::Count:
            options.count = ParseCount(value);
            if (!options.count) {
                error =
                    shown + " needs a whole number of readings above zero, not \"" + value + "\".";
                return false;
            }
            return true;
        case Key::Duration:
            options.duration = ParseDuration(value);
            if (!options.duration) {
                error = shown +
                        " needs a time above zero such as 90, 90s, 500ms, 10m, 2h or 1d, "
                        "not \"" +
                        value + "\".";
                return false;
            }
            return true;
        case Key::NoReconnect:
            options.reconnect = false;
            return true;
        case Key::Quiet:
            options.quiet = true;
            return true;
        case Key::Verbose:
            options.verbose = true;
            return true;
        case Key::List:
            options.list = true;
            return true;
        case Key::Help:
            options.help = true;
            return true;
        case Key::Version:
            options.version = true;
            return true;
    }
    return false;
}

}  // namespace

std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text) {
    struct Unit {
        std::string_view suffix;
        double milliseconds;
    };
    // "ms" before "m" and "s", so that the longest suffix wins.
    constexpr std::array<Unit, 5> kUnits{
        {{"ms", 1.0}, {"s", 1000.0}, {"m", 60000.0}, {"h", 3600000.0}, {"d", 86400000.0}}};
    double scale = 1000.0;
    for (const Unit& unit : kUnits) {
        if (text.size() > unit.suffix.size() && text.ends_with(unit.suffix)) {
            text.remove_suffix(unit.suffix.size());
            scale = unit.milliseconds;
            break;
        }
    }
    // Digits with at most one point; no sign, no exponent, no blanks.
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos ||
        text.find('.') != text.rfind('.') || text == ".") {
        return std::nullopt;
    }
    const std::string number(text);
    errno = 0;
    char* end = nullptr;
    // The C locale's point: strtod honours LC_NUMERIC, which main leaves as "C".
    double value = std::strtod(number.c_str(), &end);
    if (errno != 0 || end != number.c_str() + number.size()) {
        return std::nullopt;
    }
    double milliseconds = std::round(value * scale);
    // Up to about a hundred years; longer is surely a slip.
    if (!(milliseconds >= 1.0) || milliseconds > 3.2e12) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(static_cast<int64_t>(milliseconds));
}

bool LogOptions::Parse(const std::vector<std::string>& arguments, std::string& error) {
    std::vector<std::string> operands;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            operands.insert(operands.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            arguments.end());
            break;
        }
        if (argument.starts_with("--")) {
            const size_t equals = argument.find('=');
            const std::string name =
                argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionEntry* entry = FindLong(name);
            if (entry == nullptr) {
                error = "Unknown option \"--" + name + "\".";
                return false;
            }
            std::string value;
            if (equals != std::string::npos) {
                if (!entry->takesValue) {
                    error = "--" + name + " takes no value.";
                    return false;
                }
                value = argument.substr(equals + 1);
            } else if (entry->takesValue) {
                if (i + 1 >= arguments.size()) {
                    error = "--" + name + " needs a value.";
                    return false;
                }
                value = arguments[++i];
            }
            if (!Apply(*this, *entry, value, error)) {
                return false;
            }
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            // One or more short options; the one that takes a value ends the
            // group, taking the rest of it or the next argument.
            for (size_t at = 1; at < argument.size(); ++at) {
                const OptionEntry* entry = FindShort(argument[at]);
                if (entry == nullptr) {
                    error = "Unknown option \"-" + std::string(1, argument[at]) + "\".";
                    return false;
                }
                std::string value;
                if (entry->takesValue) {
                    if (at + 1 < argument.size()) {
                        value = argument.substr(at + 1);
                    } else if (i + 1 < arguments.size()) {
                        value = arguments[++i];
                    } else {
                        error = "-" + std::string(1, entry->shortName) + " needs a value.";
                        return false;
                    }
                    at = argument.size();
                }
                if (!Apply(*this, *entry, value, error)) {
                    return false;
                }
            }
            continue;
        }
        operands.push_back(argument);
    }

    if (help || version) {
        return true;
    }
    if (quiet && verbose) {
        error = "--quiet and --verbose cannot be used together.";
        return false;
    }
    if (list) {
        if (!operands.empty()) {
            error = "--list takes no resource.";
            return false;
        }
        return true;
    }
    if (operands.empty()) {
        error =
            "No resource given: name the meter, such as TCPIP0::192.168.1.50::inst0::INSTR "
            "or USB?*INSTR (korvata-log --list shows those found).";
        return false;
    }
    if (operands.size() > 1) {
        error = "One resource only; \"" + operands[1] + "\" is one too many.";
        return false;
    }
    if (!range.empty() && function.empty()) {
        error = "--range needs --function: a range belongs to a function.";
        return false;
    }
    resource = operands.front();
    return true;
}

const char* LogOptions::Usage() {
    return "Usage: korvata-log [OPTION]... RESOURCE\n"
           "       korvata-log --list\n"
           "Logs a bench multimeter's readings as CSV lines (time,seconds,function,value,\n"
           "unit,range) to standard output or a file, until the count or the duration is\n"
           "reached, Ctrl-C or SIGTERM. Nothing but the CSV goes to standard output.\n"
           "\n"
           "RESOURCE is a VISA resource:\n"
           "  USB?*INSTR                           the first USB meter found\n"
           "  USB0::0x1209::0x4B56::SERIAL::INSTR  a USB meter by its serial number\n"
           "  TCPIP0::HOST::inst0::INSTR           a meter on the network, over VXI-11\n"
           "  TCPIP0::HOST::5025::SOCKET           a meter on the network, raw socket\n"
           "\n"
           "Options:\n"
           "  -f, --function NAME  measure NAME (default: the function the meter is set to):\n"
           "                         dcv dci acv aci res fres cap freq per cont diode temp\n"
           "  -r, --range RANGE    with --function: the range, such as 20V, 200mA, 2k or\n"
           "                       auto (default: the range the meter is on)\n"
           "  -o, --output FILE    write the CSV to FILE, created or emptied first;\n"
           "                       - or none: standard output\n"
           "  -n, --count N        stop after N readings\n"
           "  -d, --duration TIME  stop after TIME: 90 or 90s, 500ms, 10m, 2h, 1d\n"
           "      --no-reconnect   end (status 4) when the meter stops answering; by\n"
           "                       default it is reopened with pauses growing from 0.5 s\n"
           "                       to 30 s, and the readings go on in the same file\n"
           "  -q, --quiet          no status line and no summary; errors only\n"
           "  -v, --verbose        also tell on standard error when the meter is\n"
           "                       connected, stops answering and comes back, and each\n"
           "                       failed read\n"
           "  -l, --list           list the instruments found, one a line, and exit\n"
           "  -h, --help           show this help and exit\n"
           "  -V, --version        show the version and exit\n"
           "\n"
           "On a terminal, one status line on standard error, updated in place, shows\n"
           "the readings so far, their rate, the last value, the time elapsed and the\n"
           "bytes written. Off a terminal it is left out.\n"
           "\n"
           "Exit status:\n"
           "  0  done: the count or the duration reached, Ctrl-C, SIGTERM or SIGHUP\n"
           "     (the file ends with a whole line)\n"
           "  1  the output could not be created or written\n"
           "  2  wrong options or arguments, such as a resource that is not written as\n"
           "     one\n"
           "  3  the resource could not be opened, or the meter did not answer\n"
           "  4  the meter stopped answering and was not brought back (--no-reconnect)\n"
           "\n"
           "Environment:\n"
           "  KORVATA_VISA_SIMULATE=1       a simulated meter in this process: USB?*INSTR\n"
           "                                and any TCPIP INSTR resource open it\n"
           "  KORVATA_VISA_PORTMAPPER_PORT  the port of the VXI-11 portmapper (default 111)\n"
           "\n"
           "Examples:\n"
           "  korvata-log -f dcv -n 100 TCPIP0::192.168.1.50::inst0::INSTR > volts.csv\n"
           "  korvata-log -f res -r 20k -d 8h -o drift.csv 'USB?*INSTR'\n"
           "  korvata-log -q TCPIP0::meter.lab::5025::SOCKET | tee readings.csv\n";
}

}  // namespace kvt::logger
