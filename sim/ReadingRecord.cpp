#include "sim/ReadingRecord.h"

#include <algorithm>

namespace kvt::sim {

ReadingRecord::ReadingRecord() : values_(kCapacity, 0.0) {}

void ReadingRecord::Push(double value) {
    values_[next_ % kCapacity] = value;
    ++next_;
}

void ReadingRecord::Clear() {
    next_ = 0;
}

uint64_t ReadingRecord::FirstFrom(uint64_t mark) const {
    uint64_t oldest = next_ > kCapacity ? next_ - kCapacity : 0;
    return std::min(std::max(mark, oldest), next_);
}

}  // namespace kvt::sim
