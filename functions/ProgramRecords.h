#pragma once

#include <atomic>

#include "functions/CPublishedRecord.h"
#include "functions/KVTHistogramData.h"
#include "functions/KVTTrendData.h"

namespace kvt::functions {

// Limit settings, read back from the instrument by SyncFromInstrument.
extern std::atomic<int> g_limitState;
extern std::atomic<double> g_limitUpper;
extern std::atomic<double> g_limitLower;

// Set by each analysis view while it is shown; the reading worker fetches
// that view's data only while its flag is set.
extern std::atomic<bool> g_trendViewActive;
extern std::atomic<bool> g_histogramViewActive;
extern std::atomic<bool> g_statisticsViewActive;

// The trend and histogram records the workers fill and the views draw.
CPublishedRecord<KVTTrendData>& TrendRecord();
CPublishedRecord<KVTHistogramData>& HistogramRecord();

// Consistent copies for the user-interface thread: the trend record with
// its first count values, the histogram record with its bins (bins beyond
// binCount zero).
void CopyTrendData(KVTTrendData& copy);
void CopyHistogramData(KVTHistogramData& copy);

}  // namespace kvt::functions
