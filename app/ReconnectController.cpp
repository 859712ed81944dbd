#include "app/ReconnectController.h"

#include <QCoreApplication>
#include <QEvent>

#include "link/CConectWithNI.h"
#include "link/IConnection.h"
#include "panel/CFrontPanel.h"

namespace kvt::app {
namespace {

// A meter that drops again within this time of coming back continues the
// pauses where they were rather than starting from the first.
constexpr std::chrono::seconds kSteadyAfterReturn{30};

// The program's one connection is always this kind.
link::CConectWithNI& Connection() {
    return *static_cast<link::CConectWithNI*>(link::GetConnection());
}

}  // namespace

ReconnectController::ReconnectController(panel::CFrontPanel& panel, QObject* parent)
    : QObject(parent), m_panel(panel), m_reconnector([this] {
          // m_resource is set before Begin and not changed while the
          // attempts run. A meter that went quiet may still hold replies
          // meant for the session that was lost: they are cleared.
          if (!Connection().Open(m_resource.c_str())) {
              return false;
          }
          if (Connection().ClearDevice()) {
              return true;
          }
          Connection().Close();
          return false;
      }) {
    connect(&m_panel, &panel::CFrontPanel::MeasuringStopped, this,
            &ReconnectController::OnMeasuringStopped);
    connect(&m_panel, &panel::CFrontPanel::MeasuringStarted, this,
            &ReconnectController::OnMeasuringStarted);
}

ReconnectController::~ReconnectController() {
    ++m_generation;
    m_reconnector.Cancel();
    m_reconnector.Join();
}

void ReconnectController::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled && IsBringingBack()) {
        // Turned off while trying: stop trying; the meter stays closed
        // until the user disconnects and connects again.
        ++m_generation;
        m_reconnector.Cancel();
        m_quiet = false;
        SetState(State::Connected);
    }
}

void ReconnectController::Connected() {
    m_reconnector.Join();
    m_resource = Connection().OpenedResource();
    m_lastAttempts = 0;
    m_lastReturn = {};
    m_quiet = false;
    m_returns = 0;
    SetState(State::Connected);
}

void ReconnectController::Disconnecting() {
    ++m_generation;
    m_reconnector.Cancel();
    m_progress = {};
    m_quiet = false;
    m_returns = 0;
    SetState(State::Idle);
}

void ReconnectController::WaitForAttempt() {
    m_reconnector.Join();
}

void ReconnectController::OnMeasuringStopped() {
    const bool connected = m_state == State::Connected || m_state == State::Resuming;
    if (!connected || !m_enabled || m_resource.empty()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    m_earlier = now - m_lastReturn < kSteadyAfterReturn ? m_lastAttempts : 0;
    const int earlier = m_earlier;
    // Nothing reads now: the worker has ended. Closing releases the
    // meter (a USB interface, a VXI-11 link) so that the attempts can
    // claim it afresh.
    link::GetConnection()->Close();
    m_progress = {};
    m_quiet = true;
    const unsigned generation = ++m_generation;
    SetState(State::Reconnecting);
    m_reconnector.Begin(earlier, [this, generation](const link::Reconnector::Progress& progress) {
        // Runs on the reconnector's thread: left in the mailbox, under its
        // lock, and taken on this object's thread.
        {
            std::lock_guard<std::mutex> lock(m_mailboxMutex);
            m_mailbox.emplace_back(progress, generation);
        }
        QMetaObject::invokeMethod(this, "DeliverProgress", Qt::QueuedConnection);
    });
}

void ReconnectController::DeliverProgress() {
    std::vector<std::pair<link::Reconnector::Progress, unsigned>> reports;
    {
        std::lock_guard<std::mutex> lock(m_mailboxMutex);
        reports.swap(m_mailbox);
    }
    for (const auto& [progress, generation] : reports) {
        OnProgress(progress, generation);
    }
}

void ReconnectController::OnProgress(const link::Reconnector::Progress& progress,
                                     unsigned generation) {
    if (generation != m_generation || m_state != State::Reconnecting) {
        return;
    }
    m_progress = progress;
    if (progress.step == link::Reconnector::Step::Waiting) {
        m_nextAttempt = std::chrono::steady_clock::now() + progress.pause;
    }
    if (progress.step != link::Reconnector::Step::Succeeded) {
        emit StateChanged();
        return;
    }
    m_lastReturn = std::chrono::steady_clock::now();
    m_lastAttempts = m_earlier + m_progress.attempt;
    SetState(State::Resuming);
    // The same start as after Connect: the panel asks the meter for its
    // function, switches to it and starts the readings and the views.
    QCoreApplication::postEvent(&m_panel, new QEvent(panel::CFrontPanel::kConnectedEvent));
}

void ReconnectController::OnMeasuringStarted() {
    if (m_state == State::Resuming) {
        ++m_returns;
        SetState(State::Connected);
    }
}

void ReconnectController::SetState(State state) {
    m_state = state;
    emit StateChanged();
}

QString ReconnectController::StatusText() const {
    switch (m_state) {
        case State::Idle:
            return QString();
        case State::Connected:
            if (m_returns == 0) {
                return QString();
            }
            return m_returns == 1
                       ? QStringLiteral("Meter dropped off once; brought back.")
                       : QStringLiteral("Meter dropped off %1 times; brought back.").arg(m_returns);
        case State::Resuming:
            return QStringLiteral("Meter answers again: starting the readings...");
        case State::Reconnecting:
            break;
    }
    if (m_progress.step == link::Reconnector::Step::Trying) {
        return QStringLiteral("Meter not answering. Reconnecting (attempt %1)...").arg(Attempts());
    }
    const auto left =
        std::chrono::ceil<std::chrono::seconds>(m_nextAttempt - std::chrono::steady_clock::now());
    return QStringLiteral("Meter not answering. Next try in %1 s (attempt %2)")
        .arg(std::max<long long>(0, left.count()))
        .arg(std::max(1, Attempts()));
}

QString ReconnectController::ResourceText() const {
    return QString::fromStdString(m_resource);
}

}  // namespace kvt::app
