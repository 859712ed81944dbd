#include "tests/functions/RecordingPanel.h"

#include "functions/CKVTFunction.h"

#include <utility>

namespace kvt::test {

void RecordingPanel::Record(std::string call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(std::move(call));
}

void RecordingPanel::SetViewsUnit(const std::string& unit) {
    Record("SetViewsUnit(" + unit + ")");
}
void RecordingPanel::ShowSensorDialog() {
    Record("ShowSensorDialog()");
}
void RecordingPanel::ApplyScaleFunction(const std::string& function) {
    Record("ApplyScaleFunction(" + function + ")");
}
void RecordingPanel::RefreshMainDisplay() {
    Record("RefreshMainDisplay()");
}
void RecordingPanel::SetTrendMode(const std::string& mode) {
    Record("SetTrendMode(" + mode + ")");
}
bool RecordingPanel::SaveReadings(const std::string& path, std::string*) {
    Record("SaveReadings(" + path + ")");
    return true;
}

void RecordingPanel::OnReadingsStopped(functions::CKVTFunction* function) {
    Record("OnReadingsStopped(" + function->GetName() + ")");
}

void RecordingPanel::PostNewReading() {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hook = m_onNewReading;
    }
    if (hook) {
        hook();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_newReadings;
    }
    m_changed.notify_all();
}

void RecordingPanel::SetNewReadingHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onNewReading = std::move(hook);
}

std::vector<std::string> RecordingPanel::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

int RecordingPanel::NewReadings() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_newReadings;
}

bool RecordingPanel::WaitForNewReadings(int count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_newReadings >= count; });
}

}  // namespace kvt::test
