#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "functions/CKVTRangedFunction.h"
#include "functions/KVTScaleSettings.h"
#include "functions/VoltageScale.h"

namespace kvt::functions {

// DC voltage: five ranges with automatic ranging, three speeds, filter,
// input impedance (offered on the two lowest ranges), relative reading
// and dB/dBm scaling. Unlike the other ranged functions, a speed change
// has no settle pause, and the worker posts its new-reading notice before
// it releases the lock and can log each cycle's duration.
class CKVTFunctionDCV : public CKVTRangedFunction {
public:
    // Item ids.
    enum : int {
        kRangeKey = 1,
        kSpeedKey = 2,
        kFilterKey = 3,
        kInputZKey = 4,
        kRelKey = 5,
        kRangeAuto = 7,
        kRange200mV = 8,
        kRange2V = 9,
        kRange1000V = 12,
        kSpeedSlow = 13,
        kSpeedFast = 15,
    };

    // Writes one line of text somewhere (the cycle-time log).
    using LogSink = std::function<void(std::string_view line)>;

    explicit CKVTFunctionDCV(IFrontPanelServices* panel);
    ~CKVTFunctionDCV() override;

    void Init() override;
    void SyncFromInstrument() override;
    bool SyncScale() override;
    KVTScaleSettings* GetScaleSettings() override;
    void SetScaleState(int state) override;
    void SetScaleFunction(const std::string& function) override;
    void SetDbReference(int reference) override;
    void SetDbmReference(int reference) override;
    void SetReferenceAuto(int state) override;

    std::string GetInputImpedance() const { return GetExtra(); }
    // A consistent copy of the scale settings.
    KVTScaleSettings ScaleSnapshot() const;

    // The worker writes each cycle's duration in seconds ("%.4f") to the
    // sink; off unless KORVATA_DEBUG_CYCLE=1 (then stderr) or set here.
    // Set it while the worker is paused; an empty sink turns the log off.
    void SetCycleLog(LogSink sink);

    // The main display text for a reading text under the given settings.
    static std::string DisplayText(const std::string& reading, const std::string& range,
                                   const std::string& unitLabel, int scaleState);

protected:
    std::string UnitLabelFor(const std::string& range, const std::string& current) const override;
    DisplayScale DisplayScaleFor(const std::string& range,
                                 const std::string& unitLabel) const override;
    bool ScaledUnitLocked(std::string& unit) const override;
    bool NotifiesUnderLock() const override;
    void CycleCompleted(std::chrono::steady_clock::duration duration) override;

private:
    VoltageScale m_scale{m_worker, m_textLock};
    LogSink m_cycleLog;
};

}  // namespace kvt::functions
