#include "sim/FunctionSettings.h"

#include <array>
#include <cmath>

namespace kvt::sim {
namespace {

constexpr double kOverRange = 1.2;
constexpr double kDownRange = 0.9;
constexpr std::array<double, 8> kNplcSteps = {0.02, 0.06, 0.2, 0.3, 1, 2, 10, 100};

}  // namespace

FunctionSettings::FunctionSettings(std::vector<double> ranges) : ranges_(std::move(ranges)) {}

void FunctionSettings::Reset(double nominalInput) {
    auto_ = true;
    range_ = HasRanges() ? BestRangeFor(std::fabs(nominalInput)) : 0;
    nplc_ = 1;
    filter = false;
    highImpedance = false;
    nullOn = false;
    nullArmed = false;
    nullValue = 0;
}

double FunctionSettings::Range() const {
    return HasRanges() ? ranges_[range_] : 0;
}

size_t FunctionSettings::BestRangeFor(double magnitude) const {
    for (size_t i = 0; i < ranges_.size(); ++i) {
        if (magnitude <= ranges_[i]) {
            return i;
        }
    }
    return ranges_.empty() ? 0 : ranges_.size() - 1;
}

bool FunctionSettings::SetRange(double value) {
    if (!HasRanges() || !std::isfinite(value) || std::fabs(value) > ranges_.back() * 1.000001) {
        return false;
    }
    // Relative tolerance so that "0.200" picks the 200 mV range.
    range_ = BestRangeFor(std::fabs(value) / 1.000001);
    auto_ = false;
    return true;
}

void FunctionSettings::SetRangeToMinimum() {
    range_ = 0;
    auto_ = false;
}

void FunctionSettings::SetRangeToMaximum() {
    range_ = ranges_.empty() ? 0 : ranges_.size() - 1;
    auto_ = false;
}

bool FunctionSettings::StepRange(int direction) {
    if (!HasRanges()) {
        return false;
    }
    auto_ = false;
    if (direction > 0 && range_ + 1 < ranges_.size()) {
        ++range_;
        return true;
    }
    if (direction < 0 && range_ > 0) {
        --range_;
        return true;
    }
    return false;
}

void FunctionSettings::FollowInput(double magnitude) {
    if (!auto_ || !HasRanges()) {
        return;
    }
    if (magnitude > ranges_[range_] * kOverRange ||
        (range_ > 0 && magnitude < ranges_[range_ - 1] * kDownRange)) {
        range_ = BestRangeFor(magnitude);
    }
}

bool FunctionSettings::IsOverload(double magnitude) const {
    if (!HasRanges()) {
        return false;
    }
    return magnitude > ranges_[range_] * kOverRange;
}

bool FunctionSettings::SetNplc(double nplc) {
    if (!std::isfinite(nplc) || nplc < kNplcSteps.front() * 0.999 ||
        nplc > kNplcSteps.back() * 1.001) {
        return false;
    }
    for (double step : kNplcSteps) {
        if (nplc <= step * 1.001) {
            nplc_ = step;
            return true;
        }
    }
    nplc_ = kNplcSteps.back();
    return true;
}

}  // namespace kvt::sim
