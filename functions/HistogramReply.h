#pragma once

#include <string_view>

#include "functions/KVTHistogramData.h"

namespace kvt::functions {

// Fills a histogram record from a "CALCulate:TRANsform:HISTogram:ALL?"
// reply: lower, upper, points, the first count, the bin counts and the last
// count, comma-separated. With automatic binning the instrument sends 400
// counts, summed into 10, 20, 40 or 100 bins by the number of points;
// with manual binning each count is one bin. Only fields present in the
// reply are read (a short reply leaves the missing counts out, a reply of
// fewer than five fields has no bins) and no more bins than the storage
// holds are written. Bins beyond binCount are left zero.
void ParseHistogramReply(std::string_view reply, int autoRange, KVTHistogramData& histogram);

}  // namespace kvt::functions
