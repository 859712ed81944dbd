#pragma once

#include <string>
#include <string_view>

#include "functions/KVTStatistics.h"

namespace kvt::functions {

// A statistics field as shown: "Overload" when its number is at least
// 9.9e37 in magnitude, otherwise the field as it stands.
std::string StatisticText(std::string_view field);

// Fills average, standard deviation, maximum and minimum from the
// comma-separated "CALCulate:AVERage:ALL?" reply, in that order. Fields
// the reply lacks become empty texts.
void ApplyAverageFields(std::string_view reply, KVTStatistics& statistics);

// A count reply truncated toward zero and held to the int range (0 for
// a value that is not a number).
int CountFromValue(double value);

}  // namespace kvt::functions
