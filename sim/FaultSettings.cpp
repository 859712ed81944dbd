#include "sim/FaultSettings.h"

#include <charconv>
#include <limits>

namespace kvt::sim {
namespace {

// Padding beyond this would only exhaust memory: a reply of 64 MiB is far
// larger than any client buffer worth testing.
constexpr uint64_t kMaxOversize = uint64_t{64} << 20;
// One hour; longer delays are typos.
constexpr uint64_t kMaxDelayMs = 3'600'000;

bool ParseCount(std::string_view text, uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool FaultSettings::Apply(std::string_view setting, std::string& error) {
    size_t equals = setting.find('=');
    if (equals == std::string_view::npos) {
        error = "fault \"" + std::string(setting) + "\" is not KEY=VALUE";
        return false;
    }
    std::string_view key = setting.substr(0, equals);
    std::string_view text = setting.substr(equals + 1);
    uint64_t value = 0;
    if (!ParseCount(text, value)) {
        error = "fault " + std::string(key) + ": \"" + std::string(text) +
                "\" is not a non-negative whole number";
        return false;
    }
    if (key == "delay") {
        if (value > kMaxDelayMs) {
            error = "fault delay: at most " + std::to_string(kMaxDelayMs) + " ms";
            return false;
        }
        delayMs = static_cast<unsigned>(value);
    } else if (key == "silent-after") {
        silentAfter = value;
    } else if (key == "drop-after") {
        dropAfter = value;
    } else if (key == "garbage-every") {
        garbageEvery = value;
    } else if (key == "oversize") {
        if (value > kMaxOversize) {
            error = "fault oversize: at most " + std::to_string(kMaxOversize) + " bytes";
            return false;
        }
        oversize = static_cast<size_t>(value);
    } else {
        error = "unknown fault \"" + std::string(key) +
                "\" (delay, silent-after, drop-after, garbage-every, oversize)";
        return false;
    }
    return true;
}

}  // namespace kvt::sim
