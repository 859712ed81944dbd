#include "sim/RunningStatistics.h"

#include <cmath>

#include "sim/ScpiText.h"

namespace kvt::sim {

void RunningStatistics::Add(double value) {
    ++count_;
    double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (value - mean_);
    if (count_ == 1 || value < min_) {
        min_ = value;
    }
    if (count_ == 1 || value > max_) {
        max_ = value;
    }
}

void RunningStatistics::Clear() {
    *this = RunningStatistics();
}

double RunningStatistics::StandardDeviation() const {
    if (count_ < 2) {
        return 0;
    }
    return std::sqrt(std::fmax(m2_, 0.0) / static_cast<double>(count_ - 1));
}

void RunningStatistics::AppendAll(std::string& out) const {
    scpi::AppendScientific(out, Average());
    out += ',';
    scpi::AppendScientific(out, StandardDeviation());
    out += ',';
    scpi::AppendScientific(out, Maximum());
    out += ',';
    scpi::AppendScientific(out, Minimum());
}

}  // namespace kvt::sim
