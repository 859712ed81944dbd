#include "sim/ReadingGenerator.h"

#include <cmath>
#include <numbers>

namespace kvt::sim {
namespace {

constexpr double kDriftPeriodSeconds = 300;
constexpr double kFilterNoiseDivisor = 4;

}  // namespace

ReadingGenerator::ReadingGenerator(uint64_t seed) : m_noise(seed) {
    Reset(seed);
}

void ReadingGenerator::Reset(uint64_t seed) {
    m_noise.Reseed(seed);
    for (MeterFunction function : FunctionTable::All()) {
        m_inputs[static_cast<size_t>(function)] = FunctionTable::Get(function).nominalInput;
    }
}

double ReadingGenerator::Input(MeterFunction function) const {
    return m_inputs[static_cast<size_t>(function)];
}

void ReadingGenerator::SetInput(MeterFunction function, double value) {
    // Frequency and period look at the same signal.
    if (function == MeterFunction::kFreq || function == MeterFunction::kPer) {
        m_inputs[static_cast<size_t>(MeterFunction::kFreq)] = value;
        m_inputs[static_cast<size_t>(MeterFunction::kPer)] = value;
        return;
    }
    m_inputs[static_cast<size_t>(function)] = value;
}

double ReadingGenerator::Measure(MeterFunction function, const FunctionSettings& settings,
                                 std::chrono::nanoseconds t) {
    const FunctionInfo& info = FunctionTable::Get(function);
    double input = Input(function);
    bool isFrequency = function == MeterFunction::kFreq || function == MeterFunction::kPer;
    // Noise and drift are fractions of the range in use; frequency counts
    // relative to the frequency, temperature in degrees.
    double scale = 1;
    if (isFrequency) {
        scale = std::fabs(input);
    } else if (settings.HasRanges()) {
        scale = settings.Range();
    } else if (info.fixedRange > 0) {
        scale = info.fixedRange;
    }
    double seconds = std::chrono::duration<double>(t).count();
    double phase = static_cast<double>(static_cast<size_t>(function)) * 0.7;
    double drift =
        info.drift * scale * std::sin(2 * std::numbers::pi * seconds / kDriftPeriodSeconds + phase);
    double nplc = info.hasSpeed ? settings.Nplc() : 1;
    double sigma = info.noise * scale / std::sqrt(nplc);
    if (info.hasFilter && settings.filter) {
        sigma /= kFilterNoiseDivisor;
    }
    double value = input + drift + sigma * m_noise.Gaussian();
    // A DC source of about 1 kΩ loses a little across the 10 MΩ input.
    if (function == MeterFunction::kVoltDc && !settings.highImpedance) {
        value *= 10e6 / (10e6 + 1e3);
    }
    if (function == MeterFunction::kPer) {
        return value != 0 ? 1.0 / value : 9.9e37;
    }
    return value;
}

}  // namespace kvt::sim
