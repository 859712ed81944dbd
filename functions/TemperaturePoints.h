#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::functions {

// One row of a sensor's point table: the sensor value and its temperature,
// as the instrument wrote them.
struct TemperaturePoint {
    std::string voltage;
    std::string temperature;

    bool operator==(const TemperaturePoint&) const = default;
};

// The rows of a point-table reply "index|voltage|temperature,...": one row
// per comma-separated entry, the text after the last comma included (so an
// empty reply gives one empty row). In an entry the text up to the first
// "|" is skipped, the text up to the next "|" is the voltage and the rest
// the temperature; an entry without "|" is all temperature. The reply's
// line terminator is not part of the last entry.
std::vector<TemperaturePoint> ParseTemperaturePoints(std::string_view reply);

}  // namespace kvt::functions
