#include "log/HeadlessPanel.h"

#include <utility>

namespace kvt::logger {

HeadlessPanel::HeadlessPanel(std::function<void()> onNewReading,
                             std::function<void()> onReadingsStopped)
    : m_onNewReading(std::move(onNewReading)),
      m_onReadingsStopped(std::move(onReadingsStopped)),
      m_functions(this) {
    m_current.store(m_functions.Find("VOLT"));
}

HeadlessPanel::~HeadlessPanel() {
    m_functions.Shutdown();
}

functions::CKVTFunction* HeadlessPanel::Select(const std::string& instrumentName) {
    functions::CKVTFunction* function = m_functions.Find(instrumentName);
    if (function == nullptr) {
        return nullptr;
    }
    functions::CKVTFunction* before = m_current.exchange(function);
    if (before != nullptr && before != function) {
        before->Pause();
    }
    return function;
}

bool HeadlessPanel::SaveReadings(const std::string& path, std::string* error) {
    functions::CKVTFunction* current = m_current.load();
    return current != nullptr && current->SaveHistory(path, error);
}

void HeadlessPanel::PostNewReading() {
    if (m_onNewReading) {
        m_onNewReading();
    }
}

void HeadlessPanel::OnReadingsStopped(functions::CKVTFunction* function) {
    if (function == m_current.load() && m_onReadingsStopped) {
        m_onReadingsStopped();
    }
}

}  // namespace kvt::logger
