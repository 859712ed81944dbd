#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "functions/IFrontPanelServices.h"

namespace kvt::test {

// Front-panel services that remember what was asked of them; the
// new-reading notice can be waited for.
class RecordingPanel final : public functions::IFrontPanelServices {
public:
    void SetViewsUnit(const std::string& unit) override;
    void ShowSensorDialog() override;
    void ApplyScaleFunction(const std::string& function) override;
    void RefreshMainDisplay() override;
    void SetTrendMode(const std::string& mode) override;
    bool SaveReadings(const std::string& path, std::string* error) override;
    void PostNewReading() override;
    // Noted in Calls as "OnReadingsStopped(<function name>)".
    void OnReadingsStopped(functions::CKVTFunction* function) override;
    functions::CKVTFunction* GetCurrentFunction() override { return m_current; }

    // The function GetCurrentFunction answers (null until set).
    void SetCurrentFunction(functions::CKVTFunction* function) { m_current = function; }

    // Runs hook on the poster's thread at each new-reading notice, before
    // it is counted; an empty hook stops that.
    void SetNewReadingHook(std::function<void()> hook);

    // Every call but PostNewReading, as "Name(argument)".
    std::vector<std::string> Calls() const;
    int NewReadings() const;
    // Waits until at least count new-reading notices have arrived in all.
    bool WaitForNewReadings(int count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    void Record(std::string call);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_calls;
    int m_newReadings = 0;
    functions::CKVTFunction* m_current = nullptr;
    std::function<void()> m_onNewReading;
};

}  // namespace kvt::test
