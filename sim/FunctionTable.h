#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace kvt::sim {

// The meter's measurement functions.
enum class MeterFunction {
    kVoltDc,
    kVoltAc,
    kCurrDc,
    kCurrAc,
    kRes,
    kFres,
    kCap,
    kFreq,
    kPer,
    kCont,
    kDiode,
    kTemp,
};
inline constexpr size_t kFunctionCount = 12;

// What the meter knows about one function: names, unit, ranges, the input it
// simulates by default and how that input behaves.
struct FunctionInfo {
    MeterFunction function;
    std::string_view queryName;    // FUNCTION? reply ("VOLT", "VOLT:AC", ...)
    std::string_view rootPattern;  // header of its settings ("[SENSe:]VOLTage[:DC]")
    std::string_view unitWord;     // after DATA:LAST? ("VDC", "OHM", ...)
    std::vector<double> ranges;    // ascending; empty: fixed range
    double fixedRange;             // overload level for functions without ranges
    double nominalInput;           // the simulated input, in base units
    double noise;                  // relative noise at 1 PLC, of the range
    double drift;                  // relative amplitude of the slow drift
    bool hasSpeed;                 // NPLC setting
    bool hasFilter;
    bool hasImpedance;
    bool hasNull;
    double readingTimeMs;  // fixed reading time; 0: from NPLC
    size_t settingsGroup;  // FREQ and PER share one set of settings
};

// The fixed table of the twelve functions.
class FunctionTable {
public:
    static const FunctionInfo& Get(MeterFunction function);
    static const std::array<MeterFunction, kFunctionCount>& All();
    // Parses a FUNC argument without quotes ("VOLT:DC", "volt", "FRESistance").
    static bool Parse(std::string_view name, MeterFunction& function);
};

}  // namespace kvt::sim
