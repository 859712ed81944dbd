#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::sim {

// Faults the simulated meter's servers inject, set with `--fault KEY=VALUE`.
// Counts are of commands received since the server started.
struct FaultSettings {
    unsigned delayMs = 0;                 // delay=MS: every response waits this long
    std::optional<uint64_t> silentAfter;  // silent-after=N: no response after N commands
    std::optional<uint64_t> dropAfter;    // drop-after=N: connection cut mid-reply after N
    uint64_t garbageEvery = 0;            // garbage-every=N: every Nth response is garbage
    size_t oversize = 0;                  // oversize=BYTES: responses padded to BYTES

    // Applies one "key=value" setting; false (with a reason) when malformed.
    bool Apply(std::string_view setting, std::string& error);
};

}  // namespace kvt::sim
