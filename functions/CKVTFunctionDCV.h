#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "functions/CKVTFunction.h"
#include "functions/KVTScaleSettings.h"

namespace kvt::functions {

// DC voltage: five ranges with automatic ranging, three speeds, filter,
// input impedance, relative reading and dB/dBm scaling.
class CKVTFunctionDCV : public CKVTFunction {
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

    void OnMenuItem(int itemId) override;
    void Init() override;
    void SyncFromInstrument() override;
    void ShowMainMenu() override;
    std::string GetDisplayText() override;
    std::string GetRangeMode() override;
    bool UpdateAutoRange() override;
    void SetRange(const std::string& range) override;
    std::string GetRange() override;
    std::string GetBaseUnit() override;
    std::string GetUnitLabel() override;
    bool SyncScale() override;
    KVTScaleSettings* GetScaleSettings() override;
    void SetScaleState(int state) override;
    void SetScaleFunction(const std::string& function) override;
    void SetDbReference(int reference) override;
    void SetDbmReference(int reference) override;
    void SetReferenceAuto(int state) override;
    std::thread::id CreateWorker() override;

    // The settings the user-interface thread keeps.
    std::string GetSpeed() const { return m_speed; }
    std::string GetFilter() const { return m_filter; }
    std::string GetInputImpedance() const { return m_inputImpedance; }
    std::string GetRel() const { return m_rel; }
    // A consistent copy of the scale settings.
    KVTScaleSettings ScaleSnapshot() const;

    // The worker writes each cycle's duration in seconds ("%.4f") to the
    // sink; off unless KORVATA_DEBUG_CYCLE=1 (then stderr) or set here.
    // Set it while the worker is paused; an empty sink turns the log off.
    void SetCycleLog(LogSink sink);

    // The main display text for a reading text under the given settings.
    static std::string DisplayText(const std::string& reading, const std::string& range,
                                   const std::string& unitLabel, int scaleState);

private:
    void RunWorker();
    void LogCycle(std::chrono::steady_clock::duration duration);
    void ShowMainPage(bool withInputImpedance);
    void SendLocked(void (*command)(std::string_view), const std::string& value,
                    std::chrono::milliseconds pause);
    void SetRangeMode(const std::string& mode);

    // Guarded by m_textLock: the worker changes them (automatic range)
    // while the display reads them.
    std::string m_rangeMode;
    std::string m_range;
    std::string m_unitLabel;
    // Written and read on the user-interface thread only.
    std::string m_speed;
    std::string m_filter;
    std::string m_inputImpedance;
    std::string m_rel;
    KVTScaleSettings m_scale;  // written under m_textLock
    LogSink m_cycleLog;
};

}  // namespace kvt::functions
