#pragma once

#include <cstdint>
#include <string>

namespace kvt::sim {

// Running average, standard deviation, extremes and count of the readings
// since the last clear (Welford's method: constant memory, stable).
class RunningStatistics {
public:
    void Add(double value);
    void Clear();

    uint64_t Count() const { return count_; }
    double Average() const { return mean_; }
    double StandardDeviation() const;  // sample deviation; 0 below two readings
    double Maximum() const { return count_ ? max_ : 0; }
    double Minimum() const { return count_ ? min_ : 0; }
    double PeakToPeak() const { return count_ ? max_ - min_ : 0; }

    // "average,standard deviation,maximum,minimum".
    void AppendAll(std::string& out) const;

private:
    uint64_t count_ = 0;
    double mean_ = 0;
    double m2_ = 0;
    double min_ = 0;
    double max_ = 0;
};

}  // namespace kvt::sim
