#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/Reconnector.h"

namespace kvt::panel {
class CFrontPanel;
}

namespace kvt::app {

// Brings the meter back after it stopped answering: when the panel's
// readings stop while connected (and reconnecting is on), the connection
// is closed and reopened in the background on the resource the user
// connected to, with growing pauses. When it opens, the panel's connect
// sequence runs again: it follows the meter's function and restarts the
// readings and the views. The user-interface thread only calls in and is
// told of the state.
class ReconnectController : public QObject {
    Q_OBJECT

public:
    enum class State {
        Idle,          // not connected
        Connected,     // connected; readings expected
        Reconnecting,  // the meter stopped answering; attempts under way
        Resuming,      // reopened; the panel starts the meter again
    };

    explicit ReconnectController(panel::CFrontPanel& panel, QObject* parent = nullptr);
    ~ReconnectController() override;

    void SetEnabled(bool enabled);
    // The pauses between attempts (for tests: the usual ones are seconds).
    void SetPauses(std::chrono::milliseconds firstPause, std::chrono::milliseconds longestPause) {
        m_reconnector.SetPauses(firstPause, longestPause);
    }
    bool IsEnabled() const { return m_enabled; }
    State GetState() const { return m_state; }

    // The user connected: from now on a stop of the readings brings the
    // meter back on the resource that was opened.
    void Connected();
    // The user disconnects (or the program ends): attempts stop at once.
    void Disconnecting();
    // Waits until an attempt still under way after Disconnecting is over,
    // so that a new connection does not meet it.
    void WaitForAttempt();

    // From the moment the meter stopped answering until it measures again.
    bool IsBringingBack() const {
        return m_state == State::Reconnecting || m_state == State::Resuming;
    }
    // Once the meter has been brought back (or is being brought back)
    // since the user connected, its failures are not shown again: the
    // user has seen the first, and the status bar tells the rest. Until
    // the next Connect, Disconnect, or reconnecting turned off.
    bool QuietFailures() const { return m_quiet; }
    // Times the meter came back since the user connected.
    int Returns() const { return m_returns; }
    // For the status bar: what is being done to bring the meter back ("Meter
    // not answering. Next try in 4 s (attempt 3)"), or how often it was
    // brought back since Connect; empty otherwise.
    QString StatusText() const;
    // The resource brought back ("TCPIP0::10.0.0.7::inst0::INSTR").
    QString ResourceText() const;
    // Attempts made since the meter stopped answering (counting those of
    // earlier runs when it dropped again soon after coming back).
    int Attempts() const { return m_earlier + m_progress.attempt; }

signals:
    void StateChanged();

public slots:
    // The panel's readings stopped on their own.
    void OnMeasuringStopped();
    // The panel's connect sequence went through.
    void OnMeasuringStarted();

private slots:
    // Takes the reports the reconnector's thread left in the mailbox.
    void DeliverProgress();

private:
    void OnProgress(const link::Reconnector::Progress& progress, unsigned generation);
    void SetState(State state);

    panel::CFrontPanel& m_panel;
    link::Reconnector m_reconnector;
    bool m_enabled = true;
    State m_state = State::Idle;
    std::string m_resource;
    // Tells the reports of a cancelled run from those of the current one.
    unsigned m_generation = 0;
    link::Reconnector::Progress m_progress;
    std::chrono::steady_clock::time_point m_nextAttempt;
    // When the meter last came back, and after how many attempts in all:
    // a meter that drops again soon after is not tried again at the first
    // pause but where the pauses had got to.
    std::chrono::steady_clock::time_point m_lastReturn;
    int m_lastAttempts = 0;
    int m_earlier = 0;  // the attempts counted before the current run
    bool m_quiet = false;
    int m_returns = 0;
    // Reports from the reconnector's thread, with the generation of the run
    // that made them, waiting for this object's thread. The thread is
    // joined before this object goes, so it may post to it.
    std::mutex m_mailboxMutex;
    std::vector<std::pair<link::Reconnector::Progress, unsigned>> m_mailbox;
};

}  // namespace kvt::app
