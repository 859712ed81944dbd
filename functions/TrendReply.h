#pragma once

#include <string_view>

#include "functions/KVTTrendData.h"

namespace kvt::functions {

// Fills count, values, minimum and maximum from a "CALCulate:TRENd:CHARt:
// DATA?" reply (comma-separated numbers). The recent-readings record comes
// newest first and is stored oldest first (reversed). Fields beyond the
// storage are dropped; a reply of nothing but blanks has no values, and
// then minimum and maximum are 0. Minimum and maximum start from values[0]
// and skip the overload markers (±9.9e37) after it.
void ParseTrendReply(std::string_view reply, bool recent, KVTTrendData& trend);

}  // namespace kvt::functions
