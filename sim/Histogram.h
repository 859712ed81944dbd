#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/ReadingRecord.h"

namespace kvt::sim {

// The histogram of the readings since its last clear: with automatic range
// 400 bins spanning the smallest to the largest reading, with manual range
// the configured number of bins between the configured bounds. Overloads
// are not binned.
class Histogram {
public:
    static constexpr size_t kAutoBins = 400;
    static constexpr int kMaxBins = 1000;

    void Reset();
    void Clear(const ReadingRecord& record) { mark_ = record.Next(); }

    bool AutoRange() const { return auto_; }
    void SetAutoRange(bool on) { auto_ = on; }
    int Points() const { return points_; }
    bool SetPoints(int bins);  // 1 to kMaxBins
    double Lower() const { return lower_; }
    double Upper() const { return upper_; }
    void SetLower(double value) { lower_ = value; }
    void SetUpper(double value) { upper_ = value; }

    // "lower,upper,readings,below,count 1,...,count n,above" and the newline.
    void AppendReply(const ReadingRecord& record, std::string& out) const;

private:
    bool auto_ = true;
    int points_ = 100;
    double lower_ = -1;
    double upper_ = 1;
    uint64_t mark_ = 0;
};

}  // namespace kvt::sim
