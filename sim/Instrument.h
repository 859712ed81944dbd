#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "sim/FunctionSettings.h"
#include "sim/FunctionTable.h"
#include "sim/Histogram.h"
#include "sim/LimitTest.h"
#include "sim/ReadingGenerator.h"
#include "sim/ReadingRecord.h"
#include "sim/RunningStatistics.h"
#include "sim/Scaling.h"
#include "sim/Transducers.h"
#include "sim/TrendChart.h"
#include "sim/TriggerSystem.h"

namespace kvt::sim {

// The measuring part of the simulated meter, without any command parsing:
// the current function and every function's settings, the trigger system,
// and what each reading feeds (last reading, statistics, limits, trend,
// histogram). Readings are taken lazily: CatchUp(now) takes every reading
// that would have been taken up to now. Not thread-safe; MeterModel locks.
class Instrument {
public:
    using Nanos = std::chrono::nanoseconds;
    static constexpr double kOverload = 9.9e37;
    static constexpr double kNoReading = 9.91e37;  // SCPI "not a number"
    static constexpr double kMaxThreshold = 2000;

    explicit Instrument(uint64_t seed);

    // Power-on state: DC voltage, automatic ranges, measuring continuously.
    void Reset(Nanos now);
    void CatchUp(Nanos now);

    MeterFunction Function() const { return m_function; }
    const FunctionInfo& Info() const { return FunctionTable::Get(m_function); }
    // Switches function; the statistics, trend and histogram start afresh.
    void SetFunction(MeterFunction function, Nanos now);
    FunctionSettings& Settings(MeterFunction function);
    FunctionSettings& Settings() { return Settings(m_function); }
    // The statistics, trend and histogram start afresh.
    void ClearRecords();
    // After a change that affects the reading in progress.
    void SettingsChanged(Nanos now);
    Nanos ReadingTime() const;

    // Starts a measurement of `bursts` triggers (0: the trigger count).
    void Initiate(Nanos now, uint32_t bursts);
    void Initiate(Nanos now) { Initiate(now, trigger.triggerCount); }

    double LastReading() const { return m_hasReading ? m_lastReading : kNoReading; }
    double LastSensorValue() const { return m_lastSensorValue; }
    // Unit word after a reading: "VDC", "DBM", "C", ...
    std::string_view UnitWord() const;
    bool ScalingApplies() const;
    uint64_t SkippedReadings() const { return m_skipped; }

    // Temperature: 'C', 'F' or 'K', and the sensor in use.
    char temperatureUnit = 'C';
    const Transducer* transducer = nullptr;
    bool beeper = true;
    double continuityThreshold = 50;  // ohms

    ReadingGenerator generator;
    TriggerSystem trigger;
    ReadingRecord record;
    RunningStatistics statistics;
    TrendChart trend;
    Histogram histogram;
    Scaling scaling;
    LimitTest limits;

private:
    void TakeReading(Nanos when);
    double ToTemperatureUnit(double celsius) const;

    MeterFunction m_function = MeterFunction::kVoltDc;
    std::array<FunctionSettings, 11> m_settings;
    bool m_hasReading = false;
    double m_lastReading = 0;
    double m_lastSensorValue = 0;
    uint64_t m_skipped = 0;
};

}  // namespace kvt::sim
