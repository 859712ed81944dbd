#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "sim/FunctionSettings.h"
#include "sim/FunctionTable.h"
#include "sim/NoiseSource.h"

namespace kvt::sim {

// The signal at the meter's input and what one measurement of it gives: the
// simulated input per function, a slow drift, and noise that shrinks with
// longer integration and with the filter.
class ReadingGenerator {
public:
    explicit ReadingGenerator(uint64_t seed);

    void Reset(uint64_t seed);

    // The simulated input of a function, in its base unit (temperature in
    // degrees Celsius; frequency and period both in hertz).
    double Input(MeterFunction function) const;
    void SetInput(MeterFunction function, double value);
    // RMS amplitude of the signal whose frequency is measured.
    double SignalAmplitude() const { return 0.95; }

    // One measurement taken at time t, in base units (period in seconds).
    double Measure(MeterFunction function, const FunctionSettings& settings,
                   std::chrono::nanoseconds t);

private:
    NoiseSource m_noise;
    std::array<double, kFunctionCount> m_inputs{};
};

}  // namespace kvt::sim
