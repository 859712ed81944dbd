#pragma once

#include <string>

namespace kvt::functions {

// dB/dBm scaling of a voltage function.
struct KVTScaleSettings {
    bool valid = false;
    int state = 0;         // 0 off, otherwise on
    std::string function;  // "dB" or "dBm"
    int dbReference = 0;
    int dbmReference = 0;
    int referenceAuto = 0;

    bool operator==(const KVTScaleSettings&) const = default;
};

}  // namespace kvt::functions
