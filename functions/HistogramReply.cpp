#include "functions/HistogramReply.h"

#include <algorithm>
#include <vector>

#include "link/Numbers.h"
#include "link/ReplyFields.h"

namespace kvt::functions {
namespace {

constexpr size_t kHeaderFields = 4;  // lower, upper, points, first count
constexpr int kAutomaticCountFields = 400;

int AutomaticBinCount(int points) {
    if (points <= 100) {
        return 10;
    }
    if (points <= 500) {
        return 20;
    }
    if (points <= 1000) {
        return 40;
    }
    return 100;
}

}  // namespace

void ParseHistogramReply(std::string_view reply, int autoRange, KVTHistogramData& histogram) {
    std::vector<std::string_view> fields;
    if (reply.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        fields = link::SplitFields(reply);
    }
    auto field = [&fields](size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };

    // Only the bins written last time can be non-zero.
    std::fill_n(histogram.bins.begin(), std::clamp(histogram.binCount, 0, kHistogramCapacity), 0.0);

    histogram.lower = link::ParseNumber(field(0));
    histogram.upper = link::ParseNumber(field(1));
    histogram.points = link::ParseInteger(field(2));
    histogram.firstCount = link::ParseInteger(field(3));
    histogram.autoRange = autoRange;
    // The counts lie between the four leading fields and the last count.
    bool complete = fields.size() > kHeaderFields;
    histogram.lastCount = complete ? link::ParseInteger(fields.back()) : 0;
    size_t countEnd = complete ? fields.size() - 1 : kHeaderFields;

    if (!complete) {
        histogram.binCount = 0;
    } else if (autoRange != 0) {
        int binCount = AutomaticBinCount(histogram.points);
        size_t group = static_cast<size_t>(kAutomaticCountFields / binCount);
        for (size_t bin = 0; bin < static_cast<size_t>(binCount); ++bin) {
            double sum = 0;
            size_t first = kHeaderFields + bin * group;
            for (size_t i = first; i < first + group && i < countEnd; ++i) {
                sum += link::ParseInteger(fields[i]);
            }
            histogram.bins[bin] = sum;
        }
        histogram.binCount = binCount;
    } else {
        size_t binCount =
            std::min(countEnd - kHeaderFields, static_cast<size_t>(kHistogramCapacity));
        for (size_t bin = 0; bin < binCount; ++bin) {
            histogram.bins[bin] = link::ParseInteger(fields[kHeaderFields + bin]);
        }
        histogram.binCount = static_cast<int>(binCount);
    }
}

}  // namespace kvt::functions
