#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvt::sim {

// The most recent readings, numbered in the order they were taken. The trend
// and the histogram read it from their own starting numbers (their last
// clear), so one bounded store serves both.
class ReadingRecord {
public:
    // Fits the "ALL" trend reply into 1 MiB: 16 bytes per number.
    static constexpr size_t kCapacity = 65535;

    ReadingRecord();

    void Push(double value);
    void Clear();

    uint64_t Next() const { return m_next; }  // number the next reading gets
    // First reading still held at or after `mark`.
    uint64_t FirstFrom(uint64_t mark) const;
    // Reading number `seq`; valid for FirstFrom(0) <= seq < Next().
    double At(uint64_t seq) const { return m_values[seq % kCapacity]; }

private:
    std::vector<double> m_values;
    uint64_t m_next = 0;
};

}  // namespace kvt::sim
