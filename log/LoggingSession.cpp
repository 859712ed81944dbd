#include "log/LoggingSession.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "functions/CKVTRangedFunction.h"
#include "link/CConectWithNI.h"
#include "link/ConnectionSequences.h"
#include "link/ExchangeSequence.h"
#include "link/IConnection.h"
#include "link/OpenFailure.h"
#include "log/ExitStatus.h"
#include "log/LogFunctions.h"
#include "visa/ResourceName.h"
#include "visa/SearchExpression.h"

namespace kvt::logger {
namespace {

// A meter that drops again within this time of coming back continues the
// pauses where they were rather than starting from the first (as the
// window does).
constexpr std::chrono::seconds kSteadyAfterReturn{30};
// How often the status line is redrawn, and how often the loop looks
// around when nothing wakes it.
constexpr std::chrono::milliseconds kDrawInterval{250};
constexpr std::chrono::milliseconds kIdleInterval{1000};

link::CConectWithNI& Connection() {
    return *static_cast<link::CConectWithNI*>(link::GetConnection());
}

size_t TerminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
        // One column kept free: a line that fills the last column wraps on
        // some terminals, and the next \r would then redraw below it.
        return size.ws_col - 1u;
    }
    return 0;
}

const char* SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "a signal";
    }
}

}  // namespace

LoggingSession::LoggingSession(const LogOptions& options, StopSignals& signals, StatusLine& status)
    : m_options(options),
      m_signals(signals),
      m_status(status),
      m_panel([this] { OnNewReading(); }, [this] { OnReadingsStopped(); }),
      m_reconnector([this] {
          // m_resource is set before the attempts begin and not changed
          // while they run. A meter that went quiet may still hold replies
          // meant for the session that was lost: they are cleared.
          link::CConectWithNI& connection = Connection();
          if (!connection.Open(m_resource.c_str())) {
              return false;
          }
          if (connection.ClearDevice()) {
              return true;
          }
          connection.Close();
          return false;
      }) {
    if (const LogFunction* function = FindLogFunction(options.function)) {
        m_askedFunction = std::string(function->instrumentName);
    }
    m_panel.Functions().SetRecorder(&m_recorder);
}

LoggingSession::~LoggingSession() {
    m_reconnector.Cancel();
    m_reconnector.Join();
}

bool LoggingSession::CheckRange(std::string& error) {
    if (m_options.range.empty() || m_askedFunction.empty()) {
        return true;
    }
    const LogFunction* asked = FindLogFunction(m_options.function);
    auto* ranged =
        dynamic_cast<functions::CKVTRangedFunction*>(m_panel.Functions().Find(m_askedFunction));
    if (ranged == nullptr) {
        error = "The " + std::string(asked->description) + " function (" +
                std::string(asked->shortName) + ") has no ranges to choose.";
        return false;
    }
    std::vector<std::string> ranges;
    for (int id : ranged->RangeChoiceIds()) {
        ranges.push_back(ranged->GetItem(id)->m_keyText);
    }
    std::optional<std::string> match = MatchRange(ranges, m_options.range);
    if (!match) {
        std::string names;
        for (const std::string& range : ranges) {
            names += names.empty() ? "" : ", ";
            names += range;
        }
        error = "No range \"" + m_options.range + "\" for " + std::string(asked->description) +
                ": use one of " + names + ".";
        return false;
    }
    const size_t index =
        static_cast<size_t>(std::find(ranges.begin(), ranges.end(), *match) - ranges.begin());
    m_rangeItem = ranged->RangeChoiceIds()[index];
    return true;
}

bool LoggingSession::StartMeter() {
    m_startProblem.clear();
    link::ExchangeSequence sequence;
    const std::string meterFunction = link::StartMeasuring();
    if (link::ExchangeSequence::Failing() || meterFunction.empty()) {
        return false;
    }
    const std::string wanted = m_askedFunction.empty() ? meterFunction : m_askedFunction;
    functions::CKVTFunction* function = m_panel.Select(wanted);
    if (function == nullptr) {
        m_startProblem = "The meter is set to a function korvata-log does not know (\"" +
                         meterFunction + "\"); choose one with --function.";
        return false;
    }
    link::SelectFunction(wanted);
    function->SyncFromInstrument();
    if (m_rangeItem != 0 && !link::ExchangeSequence::Failing()) {
        function->OnMenuItem(m_rangeItem);
    }
    if (link::ExchangeSequence::Failing()) {
        return false;
    }
    function->Start();
    return true;
}

bool LoggingSession::OpenOutput(std::string& error) {
    if (!m_options.ToStandardOutput()) {
        return m_recorder.Start(m_options.output, &error);
    }
    // A duplicate, so that closing the recording leaves standard output
    // itself open (and a reader sees the end only when the process ends).
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) {
        error = std::string("Could not write to standard output: ") + std::strerror(errno) + ".";
        return false;
    }
    return m_recorder.StartOnDescriptor(fd, "standard output", &error);
}

bool LoggingSession::CheckResource(std::string& error) const {
    const std::string& text = m_options.resource;
    // A search expression is told by its wildcards ("USB?*INSTR"): any
    // other text would compile as one that matches itself only.
    const bool searches = text.find_first_of("?*[") != std::string::npos;
    if (visa::ResourceName::Parse(text) || (searches && visa::SearchExpression::Compile(text))) {
        return true;
    }
    error = "\"" + text +
            "\" is not a VISA resource: write it as TCPIP0::HOST::inst0::INSTR, "
            "TCPIP0::HOST::PORT::SOCKET, USB0::VENDOR::PRODUCT::SERIAL::INSTR or USB?*INSTR.";
    return false;
}

int LoggingSession::Run() {
    link::CConectWithNI& connection = Connection();
    if (!connection.Open(m_options.resource.c_str())) {
        Error(link::DescribeOpenFailure(m_options.resource));
        return kExitCannotConnect;
    }
    m_resource = connection.OpenedResource();
    // A reply that an earlier session left unread (a program that ended
    // between a query and its answer) would otherwise answer the first
    // query here.
    connection.ClearDevice();
    if (!StartMeter()) {
        Error(!m_startProblem.empty()
                  ? m_startProblem
                  : m_options.resource + " opened, but the meter did not answer.");
        m_panel.Functions().Shutdown();
        connection.Close();
        return kExitCannotConnect;
    }
    Tell("Connected to " + m_resource + "; measuring " + m_panel.GetCurrentFunction()->GetName() +
         ".");
    std::string error;
    if (!OpenOutput(error)) {
        Error(error);
        return Finish(kExitOutputFailed);
    }
    return Finish(LogUntilDone());
}

int LoggingSession::LogUntilDone() {
    const auto started = m_recorder.GetStatus().started;
    const auto deadline = m_options.duration ? started + *m_options.duration
                                             : std::chrono::steady_clock::time_point::max();
    const auto interval = m_status.Drawing() ? kDrawInterval : kIdleInterval;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return kExitSuccess;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (int signal = m_signals.Wait(std::min<std::chrono::milliseconds>(interval, left))) {
            Tell(std::string("Stopped by ") + SignalName(signal) + ".");
            return kExitSuccess;
        }
        if (m_countReached.load()) {
            return kExitSuccess;
        }
        if (std::string failure = m_recorder.TakeFailure(); !failure.empty()) {
            Error(failure);
            return kExitOutputFailed;
        }
        if (m_state == State::Measuring && m_readingsStopped.exchange(false)) {
            if (!m_options.reconnect) {
                Error("The meter at " + m_resource + " stopped answering.");
                return kExitConnectionLost;
            }
            Tell("The meter stopped answering; reconnecting to " + m_resource + ".");
            BeginReconnecting();
        }
        if (m_state == State::Reconnecting && m_reopened.exchange(false)) {
            int attempts = 0;
            {
                std::lock_guard<std::mutex> guard(m_progressMutex);
                attempts = m_earlier + m_progress.attempt;
            }
            m_readingsStopped.store(false);
            if (StartMeter()) {
                m_state = State::Measuring;
                m_lastReturn = std::chrono::steady_clock::now();
                m_lastAttempts = attempts;
                ++m_returns;
                Tell("Reconnected to " + m_resource + "; measuring " +
                     m_panel.GetCurrentFunction()->GetName() + ".");
            } else {
                BeginReconnecting();
            }
        }
        DrawStatus();
    }
}

void LoggingSession::BeginReconnecting() {
    // Nothing reads now: the worker has ended. Closing releases the meter
    // (a USB interface, a VXI-11 link) so that the attempts claim it afresh.
    Connection().Close();
    m_state = State::Reconnecting;
    m_reopened.store(false);
    const auto now = std::chrono::steady_clock::now();
    const int earlier = now - m_lastReturn < kSteadyAfterReturn ? m_lastAttempts : 0;
    {
        std::lock_guard<std::mutex> guard(m_progressMutex);
        m_earlier = earlier;
        m_progress = {};
    }
    m_reconnector.Begin(earlier, [this](const link::Reconnector::Progress& progress) {
        {
            std::lock_guard<std::mutex> guard(m_progressMutex);
            m_progress = progress;
            if (progress.step == link::Reconnector::Step::Waiting) {
                m_nextAttempt = std::chrono::steady_clock::now() + progress.pause;
            }
        }
        if (progress.step == link::Reconnector::Step::Succeeded) {
            m_reopened.store(true);
        }
        m_signals.Wake();
    });
}

int LoggingSession::Finish(int status) {
    // No reading goes into the file from here on.
    m_panel.Functions().SetRecorder(nullptr);
    m_reconnector.Cancel();
    m_reconnector.Join();
    link::CConectWithNI& connection = Connection();
    if (m_state == State::Measuring && status != kExitConnectionLost && connection.IsOpen()) {
        // The cycle under way ends first; then the meter is handed back to
        // its own keys, as when the window disconnects.
        m_panel.GetCurrentFunction()->Pause();
        link::ExchangeSequence sequence;
        link::ReleaseInstrument();
    }
    m_panel.Functions().Shutdown();
    connection.Close();

    std::string error;
    const bool whole = m_recorder.Stop(&error);
    const auto recorded = m_recorder.GetStatus();
    m_status.Clear();
    if (!whole && !error.empty() && status != kExitOutputFailed) {
        Error(error);
        status = status == kExitSuccess ? kExitOutputFailed : status;
    }
    // After a failed output the error has said what there is to say.
    if (status != kExitOutputFailed && !m_options.quiet &&
        (m_status.Drawing() || m_options.verbose)) {
        const auto elapsed = std::chrono::steady_clock::now() - recorded.started;
        m_status.Message("korvata-log: " + std::to_string(recorded.readings) +
                         (recorded.readings == 1 ? " reading" : " readings") + " in " +
                         FormatElapsed(elapsed) + " to " + recorded.path + " (" +
                         FormatBytes(recorded.bytes) + ").");
    }
    return status;
}

std::string LoggingSession::TroubleText() {
    if (m_state != State::Reconnecting) {
        return {};
    }
    std::lock_guard<std::mutex> guard(m_progressMutex);
    const int attempt = std::max(1, m_earlier + m_progress.attempt);
    if (m_progress.step == link::Reconnector::Step::Waiting) {
        const auto left = std::chrono::ceil<std::chrono::seconds>(m_nextAttempt -
                                                                  std::chrono::steady_clock::now());
        return "meter not answering: next try in " +
               std::to_string(std::max<long long>(0, left.count())) + " s (attempt " +
               std::to_string(attempt) + ")";
    }
    return "meter not answering: reconnecting (attempt " + std::to_string(attempt) + ")";
}

void LoggingSession::DrawStatus() {
    if (!m_status.Drawing()) {
        return;
    }
    const auto recorded = m_recorder.GetStatus();
    StatusFacts facts;
    facts.readings = recorded.readings;
    facts.elapsed = std::chrono::steady_clock::now() - recorded.started;
    facts.bytes = recorded.bytes;
    facts.trouble = TroubleText();
    functions::CKVTFunction* function = m_panel.GetCurrentFunction();
    if (recorded.readings > 0 && function != nullptr) {
        facts.lastValue = function->GetDisplayText();
        facts.unit = function->GetUnitLabel();
    }
    m_status.Draw(FormatStatusLine(facts, TerminalColumns(STDERR_FILENO)));
}

void LoggingSession::Error(const std::string& text) {
    m_status.Message("korvata-log: " + text);
}

void LoggingSession::Tell(const std::string& text) {
    if (m_options.verbose) {
        m_status.Message("korvata-log: " + text);
    }
}

void LoggingSession::OnNewReading() {
    if (!m_options.count || m_countReached.load()) {
        return;
    }
    // The worker records a reading and only then tells of it, one cycle
    // after another: cutting the recorder off here lets no reading past
    // the count into the file.
    if (m_recorder.GetStatus().readings >= *m_options.count) {
        m_panel.Functions().SetRecorder(nullptr);
        m_countReached.store(true);
        m_signals.Wake();
    }
}

void LoggingSession::OnReadingsStopped() {
    m_readingsStopped.store(true);
    m_signals.Wake();
}

}  // namespace kvt::logger
