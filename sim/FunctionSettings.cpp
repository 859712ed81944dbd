#include "sim/FunctionSettings.h"

#include <array>
#include <cmath>

namespace kvt::sim {
namespace {

constexpr double kOverRange = 1.2;
constexpr double kDownRange = 0.9;
constexpr std::array<double, 8> kNplcSteps = {0.02, 0.06, 0.2, 0.3, 1, 2, 10, 100};

}  // namespace

FunctionSettings::FunctionSettings(std::vector<double> ranges) : m_ranges(std::move(ranges)) {}

void FunctionSettings::Reset(double nominalInput) {
    m_auto = true;
    m_range = HasRanges() ? BestRangeFor(std::fabs(nominalInput)) : 0;
    m_nplc = 1;
    filter = false;
    highImpedance = false;
    nullOn = false;
    nullArmed = false;
    nullValue = 0;
}

double FunctionSettings::Range() const {
    return HasRanges() ? m_ranges[m_range] : 0;
}

size_t FunctionSettings::BestRangeFor(double magnitude) const {
    for (size_t i = 0; i < m_ranges.size(); ++i) {
        if (magnitude <= m_ranges[i]) {
            return i;
        }
    }
    return m_ranges.empty() ? 0 : m_ranges.size() - 1;
}

bool FunctionSettings::SetRange(double value) {
    if (!HasRanges() || !std::isfinite(value) || std::fabs(value) > m_ranges.back() * 1.000001) {
        return false;
    }
    // Relative tolerance so that "0.200" picks the 200 mV range.
    m_range = BestRangeFor(std::fabs(value) / 1.000001);
    m_auto = false;
    return true;
}

void FunctionSettings::SetRangeToMinimum() {
    m_range = 0;
    m_auto = false;
}

void FunctionSettings::SetRangeToMaximum() {
    m_range = m_ranges.empty() ? 0 : m_ranges.size() - 1;
    m_auto = false;
}

bool FunctionSettings::StepRange(int direction) {
    if (!HasRanges()) {
        return false;
    }
    m_auto = false;
    if (direction > 0 && m_range + 1 < m_ranges.size()) {
        ++m_range;
        return true;
    }
    if (direction < 0 && m_range > 0) {
        --m_range;
        return true;
    }
    return false;
}

void FunctionSettings::FollowInput(double magnitude) {
    if (!m_auto || !HasRanges()) {
        return;
    }
    if (magnitude > m_ranges[m_range] * kOverRange ||
        (m_range > 0 && magnitude < m_ranges[m_range - 1] * kDownRange)) {
        m_range = BestRangeFor(magnitude);
    }
}

bool FunctionSettings::IsOverload(double magnitude) const {
    if (!HasRanges()) {
        return false;
    }
    return magnitude > m_ranges[m_range] * kOverRange;
}

bool FunctionSettings::SetNplc(double nplc) {
    if (!std::isfinite(nplc) || nplc < kNplcSteps.front() * 0.999 ||
        nplc > kNplcSteps.back() * 1.001) {
        return false;
    }
    for (double step : kNplcSteps) {
        if (nplc <= step * 1.001) {
            m_nplc = step;
            return true;
        }
    }
    m_nplc = kNplcSteps.back();
    return true;
}

}  // namespace kvt::sim
