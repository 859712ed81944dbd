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
    void Clear(const ReadingRecord& record) { m_mark = record.Next(); }

    bool AutoRange() const { return m_auto; }
    void SetAutoRange(bool on) { m_auto = on; }
    int Points() const { return m_points; }
    bool SetPoints(int bins);  // 1 to kMaxBins
    double Lower() const { return m_lower; }
    double Upper() const { return m_upper; }
    void SetLower(double value) { m_lower = value; }
    void SetUpper(double value) { m_upper = value; }

    // "lower,upper,readings,below,count 1,...,count n,above" and the newline.
    void AppendReply(const ReadingRecord& record, std::string& out) const;

private:
    bool m_auto = true;
    int m_points = 100;
    double m_lower = -1;
    double m_upper = 1;
    uint64_t m_mark = 0;
};

}  // namespace kvt::sim
