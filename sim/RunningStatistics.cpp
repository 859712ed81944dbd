#include "sim/RunningStatistics.h"

#include <cmath>

#include "sim/ScpiText.h"

namespace kvt::sim {

void RunningStatistics::Add(double value) {
    ++m_count;
    double delta = value - m_mean;
    m_mean += delta / static_cast<double>(m_count);
    m_m2 += delta * (value - m_mean);
    if (m_count == 1 || value < m_min) {
        m_min = value;
    }
    if (m_count == 1 || value > m_max) {
        m_max = value;
    }
}

void RunningStatistics::Clear() {
    *this = RunningStatistics();
}

double RunningStatistics::StandardDeviation() const {
    if (m_count < 2) {
        return 0;
    }
    return std::sqrt(std::fmax(m_m2, 0.0) / static_cast<double>(m_count - 1));
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
