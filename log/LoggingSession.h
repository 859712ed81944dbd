#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "functions/BackgroundRecorder.h"
#include "link/Reconnector.h"
#include "log/HeadlessPanel.h"
#include "log/LogOptions.h"
#include "log/StatusLine.h"
#include "log/StopSignals.h"

namespace kvt::logger {

// One run of korvata-log: opens the meter, starts the function asked for
// (or the meter's own) as the window does, records every accepted reading
// as CSV until the count, the duration or a stop signal, and brings the
// meter back when it stops answering, into the same file. The thread that
// calls Run is the one the window's user-interface thread would be: it
// sends the start sequences and draws the status line; the reading
// workers and the reconnector only tell it, through StopSignals::Wake.
class LoggingSession {
public:
    LoggingSession(const LogOptions& options, StopSignals& signals, StatusLine& status);
    ~LoggingSession();
    LoggingSession(const LoggingSession&) = delete;
    LoggingSession& operator=(const LoggingSession&) = delete;

    // What can be checked before connecting: that the function asked for
    // has the range asked for. False with the reason (a usage error).
    bool CheckRange(std::string& error);
    // That the resource is written as a VISA resource name or search
    // expression. False with the reason (a usage error).
    bool CheckResource(std::string& error) const;

    // Connects, logs, ends; returns the exit status (ExitStatus.h).
    int Run();

private:
    enum class State { Measuring, Reconnecting };

    // The connect sequence: the meter's function asked for and measuring
    // started, the function chosen (and its range) and its worker started.
    // False when the meter did not answer (or is set to a function that
    // none of ours measures: m_startProblem then says so).
    bool StartMeter();
    bool OpenOutput(std::string& error);
    // Closes the connection and begins the attempts to reopen it.
    void BeginReconnecting();
    // The loop until the end; returns the exit status so far.
    int LogUntilDone();
    // Stops the workers and the attempts, returns the meter to local
    // control when it answers, closes the connection and the file.
    int Finish(int status);
    void DrawStatus();
    std::string TroubleText();
    // A line on standard error: always for errors, with --verbose for news.
    void Error(const std::string& text);
    void Tell(const std::string& text);

    // On the workers' threads.
    void OnNewReading();
    void OnReadingsStopped();

    const LogOptions& m_options;
    StopSignals& m_signals;
    StatusLine& m_status;
    // The function asked for ("VOLT"), empty to follow the meter, and the
    // soft-key id of the range asked for (0: none).
    std::string m_askedFunction;
    int m_rangeItem = 0;
    std::string m_startProblem;

    // Declared before the panel: the functions hand readings to it until
    // their workers end.
    functions::BackgroundRecorder m_recorder;
    HeadlessPanel m_panel;

    State m_state = State::Measuring;
    std::string m_resource;  // what reopens the meter: the resource the first open found
    std::chrono::steady_clock::time_point m_lastReturn;
    int m_lastAttempts = 0;
    int m_earlier = 0;
    int m_returns = 0;

    std::atomic<bool> m_readingsStopped{false};
    std::atomic<bool> m_countReached{false};
    std::atomic<bool> m_reopened{false};
    std::mutex m_progressMutex;
    link::Reconnector::Progress m_progress;  // guarded by m_progressMutex
    std::chrono::steady_clock::time_point m_nextAttempt;

    // Last: its thread ends before anything it tells is gone.
    link::Reconnector m_reconnector;
};

}  // namespace kvt::logger
