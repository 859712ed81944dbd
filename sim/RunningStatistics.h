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

    uint64_t Count() const { return m_count; }
    double Average() const { return m_mean; }
    double StandardDeviation() const;  // sample deviation; 0 below two readings
    double Maximum() const { return m_count ? m_max : 0; }
    double Minimum() const { return m_count ? m_min : 0; }
    double PeakToPeak() const { return m_count ? m_max - m_min : 0; }

    // "average,standard deviation,maximum,minimum".
    void AppendAll(std::string& out) const;

private:
    uint64_t m_count = 0;
    double m_mean = 0;
    double m_m2 = 0;
    double m_min = 0;
    double m_max = 0;
};

}  // namespace kvt::sim
