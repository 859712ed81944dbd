#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "functions/CMenuItem.h"
#include "functions/CReadingWorker.h"
#include "functions/IFrontPanelServices.h"
#include "functions/IKVTMenuItemListener.h"
#include "functions/KVTScaleSettings.h"
#include "functions/KVTStatistics.h"
#include "link/CommunicationFailure.h"

namespace kvt::functions {

class BackgroundRecorder;

// The base of every measurement function: its soft-key items and current
// page, its reading worker, its lock, its statistics and its history of
// readings.
//
// Threads: the user-interface thread runs menus, settings commands and
// display reads; the worker runs reading cycles. m_lock serialises their
// instrument traffic (the worker holds it for a whole cycle, a settings
// command for the command and its settle pause). The texts and the
// statistics that the display reads are guarded by a second, short-held
// lock, so that a display read never waits for a cycle and never sees a
// half-written text. Concrete classes call Shutdown() in their destructor,
// before their own parts are gone.
class CKVTFunction : public IKVTMenuItemListener {
public:
    // The placeholder reading text shown before the first reading.
    static constexpr std::string_view kPlaceholder = "●.●●●●●";
    // A history longer than this loses its oldest value before the next.
    static constexpr size_t kHistoryLimit = 50000;

    CKVTFunction(IFrontPanelServices* panel, std::string name);
    CKVTFunction(const CKVTFunction&) = delete;
    CKVTFunction& operator=(const CKVTFunction&) = delete;

    // Slot order of the virtual operations; slot 0 is OnMenuItem.
    virtual ~CKVTFunction();
    virtual void Init();
    virtual void SyncFromInstrument();
    virtual void ShowMainMenu() = 0;
    virtual bool ReadOnce();
    virtual void SetReadingText(const std::string& text);
    virtual std::string GetReadingText();
    virtual std::string GetDisplayText() = 0;
    virtual std::string GetRangeMode() = 0;
    virtual bool UpdateAutoRange();
    virtual void SetRange(const std::string& range) = 0;
    virtual std::string GetRange() = 0;
    virtual std::string GetBaseUnit() = 0;
    virtual std::string GetUnitLabel() = 0;
    virtual void Reserved();
    virtual bool UpdateStatistics();
    virtual bool SyncScale();
    virtual KVTScaleSettings* GetScaleSettings();
    virtual void SetScaleState(int state);
    virtual void SetScaleFunction(const std::string& function);
    virtual void SetDbReference(int reference);
    virtual void SetDbmReference(int reference);
    virtual void SetReferenceAuto(int state);
    virtual void OnSoftKey(int position);
    virtual bool HasTinyMenu();
    virtual std::string GetTinyMenuText();
    virtual int GetTinyMenuCursor();
    virtual void GetTinyMenuRect(int& left, int& top, int& right, int& bottom);
    // Creates the reading worker, suspended; returns its thread id.
    virtual std::thread::id CreateWorker() = 0;

    std::string GetName() const;

    // Soft-key items and pages.
    void AddMenuItem(int id, int position, const std::string& keyText, const std::string& title,
                     const std::string& subtitle, const std::string& optionA,
                     const std::string& optionB, int kind);
    void ShowSoftKeys(int count, const int* ids);
    void SelectInGroup(int firstId, int lastId, int selectedId);
    std::string GetSoftKeyText(int position) const;
    std::string GetSoftKeyTitle(int position) const;
    std::string GetSoftKeySubtitle(int position) const;
    std::string GetSoftKeyOptionA(int position) const;
    std::string GetSoftKeyOptionB(int position) const;
    // The item shown at position (for its colours and checked flag), or null.
    const CMenuItem* GetSoftKeyItem(int position) const;
    // The item with this id, or null.
    CMenuItem* GetItem(int id);

    // The worker: Start resumes it (creating a new one if it ended), Pause
    // suspends it between two cycles, Shutdown stops and joins it without
    // sending anything.
    void Start();
    void Pause();
    void Shutdown();
    unsigned WorkerGeneration() const { return m_worker.Generation(); }
    bool IsWorkerRunning() const { return !m_worker.HasEnded(); }
    bool WaitForWorkerEnd(std::chrono::milliseconds timeout) {
        return m_worker.WaitUntilEnded(timeout);
    }

    // Under m_lock: the trend record's mode ("REC" or "ALL") and its pause.
    void SetTrendModeLocked(const std::string& mode);

    // Scoped m_lock for a command from the user-interface thread (the
    // function's own settings and the views' analysis commands): taken
    // ahead of the worker's next cycle, never inside one.
    CReadingWorker::CommandLock LockForCommand() { return CReadingWorker::CommandLock(m_worker); }

    void PushHistory(double value);
    // Writes the history to path in the saved-readings format. The file is
    // replaced only when the whole history was written; otherwise it is
    // left as it was and error (when given) gets the reason.
    bool SaveHistory(const std::string& path, std::string* error = nullptr);
    std::vector<double> HistorySnapshot();

    // Every reading accepted from now on is also handed to recorder (not
    // owned; null for none). Any thread.
    void SetRecorder(BackgroundRecorder* recorder) { m_recorder.store(recorder); }

    // A consistent copy of the statistics.
    KVTStatistics GetStatistics() const;
    // Steady-clock milliseconds of the last Start.
    int64_t GetStartTicks() const { return m_startTicks.load(); }

protected:
    // Starts the reading worker, suspended: every function runs the same
    // loop (RunWorkerLoop) and differs only in the hooks below.
    std::thread::id LaunchReadingWorker();

    // Hooks of the worker loop.
    // The reading step of a cycle (ReadOnce unless the function reads
    // otherwise); false ends the worker.
    virtual bool ReadForCycle();
    // Whether a cycle re-reads the range while the range mode is "Auto".
    virtual bool FollowsAutoRange() const;
    // Whether the new-reading notice is posted before the lock is released
    // (otherwise right after).
    virtual bool NotifiesUnderLock() const;
    // Called after each completed cycle, lock held, with its duration.
    virtual void CycleCompleted(std::chrono::steady_clock::duration duration);

    // Hands an accepted reading, as the instrument sent its number, to the
    // recorder when one records; stamped with the moment of the call.
    void RecordReading(const std::string& meterNumber);
    // The unit and range written beside a recorded reading: the unit of
    // the number the instrument sends, and the range it measures in
    // (empty where the function has none).
    virtual std::string RecordedUnit();
    virtual std::string RecordedRange();

    // The data of the shown views (trend, histogram, statistics); false when
    // an exchange failed (failure says whether one did since the cycle began).
    bool FetchViewData(const link::FailureWatch& failure);
    void PostNewReading();

    IFrontPanelServices* m_panel;
    std::recursive_mutex m_lock;
    CReadingWorker m_worker;
    // Guards m_name, m_readingText and m_statistics, and in subclasses the
    // texts that the display reads. Never held while taking another lock.
    mutable std::mutex m_textLock;
    std::string m_name;
    std::string m_readingText;
    std::map<int, CMenuItem*> m_softKeys;
    std::map<int, CMenuItem> m_items;
    std::atomic<int64_t> m_startTicks{0};
    KVTStatistics m_statistics;
    std::deque<double> m_history;  // guarded by m_lock
    std::atomic<BackgroundRecorder*> m_recorder{nullptr};

private:
    // Waits for its turn, runs a cycle under the lock, posts the notice;
    // ends when the instrument stops answering or the worker is stopped.
    void RunWorkerLoop();
    // One reading cycle with the lock held: the reading, the data of the
    // shown views and, when followed, the automatic range. False when the
    // worker is to end.
    bool RunCycleLocked();

    std::string SoftKeyField(int position, std::string CMenuItem::*field) const;
};

}  // namespace kvt::functions
