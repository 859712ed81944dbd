#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

#include "visa/visa.h"

namespace kvt::visa {

// Copies text into a caller's VISA string (a resource descriptor or a string
// attribute), which holds at most VI_FIND_BUFLEN bytes with the terminator:
// longer text is cut there.
inline void CopyVisaString(std::string_view text, void* out) {
    size_t n = std::min(text.size(), size_t{VI_FIND_BUFLEN - 1});
    std::memcpy(out, text.data(), n);
    static_cast<char*>(out)[n] = '\0';
}

}  // namespace kvt::visa
