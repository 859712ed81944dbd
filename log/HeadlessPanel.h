#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "functions/FunctionSet.h"
#include "functions/IFrontPanelServices.h"

namespace kvt::logger {

// The front panel of a program without a window: the eleven functions and
// the one being measured, with nothing to draw. The workers' notices go to
// the two callbacks given, on the workers' threads; they must not block.
class HeadlessPanel final : public functions::IFrontPanelServices {
public:
    HeadlessPanel(std::function<void()> onNewReading, std::function<void()> onReadingsStopped);
    ~HeadlessPanel();
    HeadlessPanel(const HeadlessPanel&) = delete;
    HeadlessPanel& operator=(const HeadlessPanel&) = delete;

    // Makes the function with the instrument's name ("VOLT", "PER", ...)
    // the current one, pausing the one before; null (and nothing changed)
    // for a name no function has.
    functions::CKVTFunction* Select(const std::string& instrumentName);
    functions::FunctionSet& Functions() { return m_functions; }

    // Nothing to show.
    void SetViewsUnit(const std::string&) override {}
    void ShowSensorDialog() override {}
    void ApplyScaleFunction(const std::string&) override {}
    void RefreshMainDisplay() override {}
    void SetTrendMode(const std::string&) override {}
    bool SaveReadings(const std::string& path, std::string* error) override;

    void PostNewReading() override;
    // Passed on only for the current function (a paused one ends quietly).
    void OnReadingsStopped(functions::CKVTFunction* function) override;
    functions::CKVTFunction* GetCurrentFunction() override { return m_current.load(); }

private:
    std::function<void()> m_onNewReading;
    std::function<void()> m_onReadingsStopped;
    std::atomic<functions::CKVTFunction*> m_current{nullptr};
    // Last: its workers end before the callbacks above go.
    functions::FunctionSet m_functions;
};

}  // namespace kvt::logger
