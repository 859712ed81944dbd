#pragma once

#include <string>

#include "visa/visa.h"

namespace kvt::test {

// One viRead into a buffer of `size` bytes; the bytes received, with the
// call's status in `status`.
inline std::string Read(ViSession vi, ViUInt32 size, ViStatus& status) {
    std::string buffer(size, '\0');
    ViUInt32 n = 0;
    status = viRead(vi, reinterpret_cast<ViBuf>(buffer.data()), size, &n);
    buffer.resize(n);
    return buffer;
}

}  // namespace kvt::test
