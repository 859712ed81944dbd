#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "functions/CReadingWorker.h"
#include "functions/KVTScaleSettings.h"

namespace kvt::functions {

// The dB/dBm scaling of a voltage function, as the statistics panel shows
// and changes it. Each change is sent under the function's lock with its
// settle pause, then stored; the stored settings are guarded by the
// function's text lock, because the display reads them from another
// thread than the one that changes them.
class VoltageScale {
public:
    static constexpr std::chrono::milliseconds kSettlePause{100};

    VoltageScale(CReadingWorker& worker, std::mutex& textLock)
        : m_worker(worker), m_textLock(textLock) {}
    VoltageScale(const VoltageScale&) = delete;
    VoltageScale& operator=(const VoltageScale&) = delete;

    // Marks the settings valid before anything was read (all else stays
    // zero or empty until Sync).
    void MarkValid();
    // Reads every setting back from the instrument, under the lock.
    void Sync();

    // The settings themselves (for the panel's scaling page) and a
    // consistent copy.
    KVTScaleSettings* Settings() { return &m_scale; }
    KVTScaleSettings Snapshot() const;

    void SetState(int state);
    void SetFunction(const std::string& function);
    void SetDbReference(int reference);
    void SetDbmReference(int reference);
    void SetReferenceAuto(int state);

    // With the text lock held: true, with the unit ("dB" or "dBm"), while
    // readings are shown scaled.
    bool ScaledUnitLocked(std::string& unit) const;

private:
    void Change(const std::function<void()>& send,
                const std::function<void(KVTScaleSettings&)>& store);

    CReadingWorker& m_worker;
    std::mutex& m_textLock;
    KVTScaleSettings m_scale;  // written under m_textLock
};

}  // namespace kvt::functions
