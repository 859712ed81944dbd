#include "sim/ReadingRecord.h"

#include <algorithm>

namespace kvt::sim {

ReadingRecord::ReadingRecord() : m_values(kCapacity, 0.0) {}

void ReadingRecord::Push(double value) {
    m_values[m_next % kCapacity] = value;
    ++m_next;
}

void ReadingRecord::Clear() {
    m_next = 0;
}

uint64_t ReadingRecord::FirstFrom(uint64_t mark) const {
    uint64_t oldest = m_next > kCapacity ? m_next - kCapacity : 0;
    return std::min(std::max(mark, oldest), m_next);
}

}  // namespace kvt::sim
