#pragma once

#include <string>

#include "functions/CUnfilledArray.h"

namespace kvt::functions {

inline constexpr int kTrendCapacity = 1048576;

// The instrument's trend record as the trend view draws it. Its values are
// not filled in advance: only the first count are valid, and only the
// storage a reply has written costs memory.
struct KVTTrendData {
    int count = 0;  // values[0] to values[count - 1] are valid
    double minimum = 0;
    double maximum = 0;
    std::string range;  // the function's range text
    std::string mode;   // "ALL" or "REC"
    int elapsedSeconds = 0;
    CUnfilledArray<double, kTrendCapacity> values;
};

}  // namespace kvt::functions
