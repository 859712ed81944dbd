#pragma once

#include <cstdint>
#include <string_view>

namespace kvt::functions {

class CKVTFunction;

// Reads the instrument's trend record into the program-wide trend record,
// with the function's range and the time since its worker started. A
// reply that is not a list of numbers leaves the record as it was, raises
// the communication-failure message and gives false.
bool FetchTrendData(CKVTFunction* function);

// Reads the instrument's histogram into the program-wide histogram record;
// a garbled reply is handled as for the trend record.
bool FetchHistogramData();

// Whether a list reply of received bytes read into a buffer of capacity
// bytes is well formed; if not, raises the communication-failure message.
bool CheckListReply(std::string_view reply, uint32_t received, uint32_t capacity);

}  // namespace kvt::functions
