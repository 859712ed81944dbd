#include "sim/Instrument.h"

#include <cmath>

namespace kvt::sim {
namespace {

constexpr double kLineCycleSeconds = 0.02;  // 50 Hz mains
constexpr auto kConversionOverhead = std::chrono::milliseconds(2);

}  // namespace

Instrument::Instrument(uint64_t seed) : generator(seed) {
    for (MeterFunction function : FunctionTable::All()) {
        const FunctionInfo& info = FunctionTable::Get(function);
        m_settings[info.settingsGroup] = FunctionSettings(info.ranges);
    }
    Reset(Nanos(0));
}

void Instrument::Reset(Nanos now) {
    // The simulated inputs and the noise belong to the world outside the
    // meter: a reset leaves them alone.
    for (MeterFunction function : FunctionTable::All()) {
        const FunctionInfo& info = FunctionTable::Get(function);
        m_settings[info.settingsGroup].Reset(function == MeterFunction::kFreq ||
                                                     function == MeterFunction::kPer
                                                 ? generator.SignalAmplitude()
                                                 : info.nominalInput);
    }
    m_function = MeterFunction::kVoltDc;
    temperatureUnit = 'C';
    transducer = &Transducers::Default();
    beeper = true;
    continuityThreshold = 50;
    trigger.Reset();
    record.Clear();
    statistics.Clear();
    trend.Reset();
    histogram.Reset();
    scaling.Reset();
    limits.Reset();
    m_hasReading = false;
    m_lastSensorValue = 0;
    m_skipped = 0;
    Initiate(now, 0);
}

FunctionSettings& Instrument::Settings(MeterFunction function) {
    return m_settings[FunctionTable::Get(function).settingsGroup];
}

Instrument::Nanos Instrument::ReadingTime() const {
    const FunctionInfo& info = Info();
    double seconds = info.readingTimeMs > 0
                         ? info.readingTimeMs / 1000.0
                         : m_settings[info.settingsGroup].Nplc() * kLineCycleSeconds;
    return std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(seconds)) +
           kConversionOverhead;
}

void Instrument::SetFunction(MeterFunction function, Nanos now) {
    m_function = function;
    m_hasReading = false;
    ClearRecords();
    scaling.ArmAutoReference();
    SettingsChanged(now);
}

void Instrument::ClearRecords() {
    statistics.Clear();
    limits.failures = 0;
    trend.Clear(record);
    histogram.Clear(record);
}

void Instrument::SettingsChanged(Nanos now) {
    trigger.Restart(now, ReadingTime());
}

void Instrument::Initiate(Nanos now, uint32_t bursts) {
    trigger.Initiate(now, ReadingTime(), bursts);
}

bool Instrument::ScalingApplies() const {
    return scaling.state &&
           (m_function == MeterFunction::kVoltDc || m_function == MeterFunction::kVoltAc);
}

std::string_view Instrument::UnitWord() const {
    if (ScalingApplies()) {
        return scaling.decibel ? "DB" : "DBM";
    }
    if (m_function == MeterFunction::kTemp) {
        return temperatureUnit == 'F' ? "F" : temperatureUnit == 'K' ? "K" : "C";
    }
    return Info().unitWord;
}

void Instrument::CatchUp(Nanos now) {
    Nanos readingTime = ReadingTime();
    Nanos when{0};
    while (true) {
        m_skipped += trigger.SkipBacklog(now, readingTime, ReadingRecord::kCapacity);
        if (!trigger.PopDue(now, readingTime, when)) {
            break;
        }
        TakeReading(when);
    }
}

double Instrument::ToTemperatureUnit(double celsius) const {
    switch (temperatureUnit) {
        case 'F':
            return celsius * 9.0 / 5.0 + 32.0;
        case 'K':
            return celsius + 273.15;
        default:
            return celsius;
    }
}

void Instrument::TakeReading(Nanos when) {
    const FunctionInfo& info = Info();
    FunctionSettings& settings = Settings();
    double raw = generator.Measure(m_function, settings, when);
    bool isFrequency = m_function == MeterFunction::kFreq || m_function == MeterFunction::kPer;
    double level = isFrequency ? generator.SignalAmplitude() : std::fabs(raw);
    settings.FollowInput(level);
    bool overload = settings.IsOverload(level) ||
                    (info.fixedRange > 0 && std::fabs(raw) > info.fixedRange) ||
                    std::fabs(raw) >= kOverload;
    double value = raw;
    if (m_function == MeterFunction::kTemp) {
        m_lastSensorValue = transducer->ValueAt(raw);
        value = ToTemperatureUnit(raw);
    }
    if (overload) {
        value = std::signbit(raw) ? -kOverload : kOverload;
    } else {
        if (settings.nullOn && info.hasNull) {
            if (settings.nullArmed) {
                settings.nullValue = value;
                settings.nullArmed = false;
            }
            value -= settings.nullValue;
        }
        if (ScalingApplies()) {
            value = scaling.Apply(value);
        }
        statistics.Add(value);
        limits.Check(value);
    }
    m_hasReading = true;
    m_lastReading = value;
    record.Push(value);
}

}  // namespace kvt::sim
