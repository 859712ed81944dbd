#pragma once

namespace kvt::functions {

class CKVTFunction;

// Reads the instrument's trend record into the program-wide trend record,
// with the function's range and the time since its worker started.
void FetchTrendData(CKVTFunction* function);

// Reads the instrument's histogram into the program-wide histogram record.
void FetchHistogramData();

}  // namespace kvt::functions
