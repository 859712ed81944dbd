#include "tests/panel/PanelMeter.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QThread>

#include <stdlib.h>

#include <utility>

#include "functions/ProgramRecords.h"
#include "link/CommunicationFailure.h"
#include "link/IConnection.h"
#include "panel/CFrontPanel.h"
#include "sim/MeterModel.h"
#include "visa/Simulation.h"

namespace kvt::test {

void CursorPacer::Pause(std::chrono::milliseconds duration) {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        return;
    }
    const QCursor* cursor = QGuiApplication::overrideCursor();
    std::function<void(long long)> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_uiPauses.push_back(
            {duration.count(), cursor != nullptr && cursor->shape() == Qt::WaitCursor});
        hook = m_uiPauseHook;
    }
    if (hook) {
        hook(duration.count());
    }
}

void CursorPacer::SetUiPauseHook(std::function<void(long long ms)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_uiPauseHook = std::move(hook);
}

std::vector<CursorPacer::UiPause> CursorPacer::TakeUiPauses() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_uiPauses, {});
}

std::vector<long long> CursorPacer::TakeUiPauseMs() {
    std::vector<long long> ms;
    for (const UiPause& pause : TakeUiPauses()) {
        ms.push_back(pause.ms);
    }
    return ms;
}

PanelMeter::PanelMeter()
    : device(std::make_shared<RecordingDevice>(std::make_shared<sim::MeterModel>(7))),
      exchanges(std::make_shared<ExchangeDevice>(device)) {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    visa::InstallSimulatedDevice([log = exchanges] { return log; });
    link::InstallPacer(&pacer);
    link::SetCommunicationFailureHandler([this](std::string_view, std::string_view) {
        std::lock_guard<std::mutex> lock(m_failuresMutex);
        ++m_failures;
    });
}

PanelMeter::~PanelMeter() {
    Close();
    functions::g_trendViewActive = false;
    functions::g_histogramViewActive = false;
    functions::g_statisticsViewActive = false;
    link::SetCommunicationFailureHandler({});
    link::InstallPacer(nullptr);
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

bool PanelMeter::Open() {
    return link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR");
}

void PanelMeter::Close() {
    link::GetConnection()->Close();
}

std::vector<std::string> PanelMeter::Sent() {
    std::vector<std::string> sent = device->Messages();
    device->ClearMessages();
    return sent;
}

int PanelMeter::Failures() {
    std::lock_guard<std::mutex> lock(m_failuresMutex);
    return m_failures;
}

QString SkinPath() {
    return QStringLiteral(KVT_PANEL_SKIN);
}

bool Click(panel::CFrontPanel& panel, const char* name) {
    auto* button = qobject_cast<QAbstractButton*>(panel.Control(QString::fromLatin1(name)));
    if (button == nullptr) {
        return false;
    }
    button->click();
    return true;
}

}  // namespace kvt::test
