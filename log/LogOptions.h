#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::logger {

// The command line of korvata-log.
struct LogOptions {
    std::string resource;
    // Short name ("dcv"); empty: whatever the meter is set to.
    std::string function;
    // As given ("20V", "auto"); empty: the range the meter is on.
    std::string range;
    // The CSV file; empty or "-": standard output.
    std::string output;
    std::optional<std::chrono::milliseconds> duration;
    std::optional<uint64_t> count;
    bool quiet = false;
    bool verbose = false;
    bool reconnect = true;
    bool list = false;
    bool help = false;
    bool version = false;

    bool ToStandardOutput() const { return output.empty() || output == "-"; }

    // Parses the arguments after the program name: "--opt VALUE",
    // "--opt=VALUE", "-o VALUE", "-oVALUE", grouped short flags ("-qv" is
    // refused: quiet and verbose exclude each other), "--" before a
    // resource that begins with "-". False, with one sentence saying what
    // is wrong, on anything malformed.
    bool Parse(const std::vector<std::string>& arguments, std::string& error);

    // The --help text.
    static const char* Usage();
};

// "90", "90s", "1.5s", "500ms", "10m", "2h", "1d": a positive time; nothing
// for anything else.
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

}  // namespace kvt::logger
