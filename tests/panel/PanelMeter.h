#pragma once

#include <QCursor>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/Pacer.h"
#include "tests/functions/RecordingDevice.h"
#include "tests/panel/ExchangeDevice.h"

class QAbstractButton;

namespace kvt::panel {
class CFrontPanel;
}

namespace kvt::test {

// Pauses recorded instead of slept, each with the cursor the user saw
// while the user-interface thread waited (worker pauses are not listed).
class CursorPacer final : public link::IPacer {
public:
    struct UiPause {
        long long ms;
        bool waitCursor;
    };

    void Pause(std::chrono::milliseconds duration) override;
    // Pauses the user-interface thread asked for since the last call.
    std::vector<UiPause> TakeUiPauses();
    std::vector<long long> TakeUiPauseMs();
    // Called on the user-interface thread at each of its pauses, with the
    // pause's length, so that a test can watch the workers while the
    // user-interface thread waits; an empty function removes it.
    void SetUiPauseHook(std::function<void(long long ms)> hook);

private:
    std::mutex m_mutex;
    std::vector<UiPause> m_uiPauses;
    std::function<void(long long ms)> m_uiPauseHook;
};

// The simulated meter in process behind the real connection, as the
// program reaches it: a recording device (commands in order), an exchange
// log (writes and reads in order), the cursor pacer and a count of the
// communication-failure messages. Installed by the constructor, removed
// by the destructor; the connection starts closed.
class PanelMeter {
public:
    PanelMeter();
    ~PanelMeter();
    PanelMeter(const PanelMeter&) = delete;
    PanelMeter& operator=(const PanelMeter&) = delete;

    bool Open();
    void Close();

    // Commands the meter received since the last call, in order.
    std::vector<std::string> Sent();
    int Failures();

    std::shared_ptr<RecordingDevice> device;
    std::shared_ptr<ExchangeDevice> exchanges;
    CursorPacer pacer;

private:
    std::mutex m_failuresMutex;
    int m_failures = 0;
};

// The real skin of the program.
QString SkinPath();
// Clicks the skin's button of that name (fails the test if it is missing).
bool Click(panel::CFrontPanel& panel, const char* name);
// Processes events until done() or the timeout; false at the timeout.
template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace kvt::test

#include <QCoreApplication>
#include <QElapsedTimer>

template <typename Done>
bool kvt::test::WaitFor(Done done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
