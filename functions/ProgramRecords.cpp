#include "functions/ProgramRecords.h"

#include <algorithm>

namespace kvt::functions {

std::atomic<int> g_limitState{0};
std::atomic<double> g_limitUpper{0.0};
std::atomic<double> g_limitLower{0.0};

std::atomic<bool> g_trendViewActive{false};
std::atomic<bool> g_histogramViewActive{false};
std::atomic<bool> g_statisticsViewActive{false};

CPublishedRecord<KVTTrendData>& TrendRecord() {
    static CPublishedRecord<KVTTrendData> record;
    return record;
}

CPublishedRecord<KVTHistogramData>& HistogramRecord() {
    static CPublishedRecord<KVTHistogramData> record;
    return record;
}

void CopyTrendData(KVTTrendData& copy) {
    TrendRecord().Read([&copy](const KVTTrendData& trend) {
        copy.count = trend.count;
        copy.minimum = trend.minimum;
        copy.maximum = trend.maximum;
        copy.range = trend.range;
        copy.mode = trend.mode;
        copy.elapsedSeconds = trend.elapsedSeconds;
        std::copy_n(trend.values.begin(), std::clamp(trend.count, 0, kTrendCapacity),
                    copy.values.begin());
    });
}

void CopyHistogramData(KVTHistogramData& copy) {
    HistogramRecord().Read([&copy](const KVTHistogramData& histogram) {
        int previous = std::clamp(copy.binCount, 0, kHistogramCapacity);
        int bins = std::clamp(histogram.binCount, 0, kHistogramCapacity);
        copy.binCount = histogram.binCount;
        copy.points = histogram.points;
        copy.autoRange = histogram.autoRange;
        copy.firstCount = histogram.firstCount;
        copy.lastCount = histogram.lastCount;
        copy.lower = histogram.lower;
        copy.upper = histogram.upper;
        std::copy_n(histogram.bins.begin(), bins, copy.bins.begin());
        if (previous > bins) {
            std::fill(copy.bins.begin() + bins, copy.bins.begin() + previous, 0.0);
        }
    });
}

}  // namespace kvt::functions
