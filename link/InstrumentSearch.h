#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/FoundInstrument.h"

namespace kvt::link {

// Finds the instruments the connection dialog can open, on a thread of its
// own: the USB instruments first, then those on the network (the VISA
// search by broadcast), each asked *IDN? on a short timeout, several at a
// time. One search runs at once; starting while one runs takes over its
// result instead of starting another.
class InstrumentSearch {
public:
    using Results = std::vector<FoundInstrument>;
    using Done = std::function<void(Results)>;
    // Lists the VISA resources that an expression finds (viFindRsrc and
    // viFindNext); replaced in tests.
    using Lister = std::function<std::vector<std::string>(const char* expression)>;
    // Asks one resource *IDN?; the reply, or empty when it gave none.
    using Identifier = std::function<std::string(const std::string& resource)>;

    static constexpr unsigned kIdentifyTimeoutMs = 1000;
    static constexpr size_t kParallelQueries = 8;

    InstrumentSearch();
    InstrumentSearch(Lister lister, Identifier identifier);
    ~InstrumentSearch();
    InstrumentSearch(const InstrumentSearch&) = delete;
    InstrumentSearch& operator=(const InstrumentSearch&) = delete;

    // Starts a search; `done` is called on the search's thread with what it
    // found, unless Forget() or another Start() replaced it meanwhile.
    void Start(Done done);
    // Drops the waiting `done` so that nothing is called back; returns once
    // a call of it under way has ended, so that what it uses may go.
    void Forget();
    // No further instrument is asked; returns at once.
    void Cancel();
    // Returns once no USB instrument is held open by the search, so that a
    // connection can claim it.
    void WaitUntilUsbIsFree();
    bool Running() const;

    // The real VISA calls.
    static std::vector<std::string> ListResources(const char* expression);
    static std::string Identify(const std::string& resource);

private:
    void Run();
    Results Search();
    void IdentifyAll(Results& found);

    Lister m_lister;
    Identifier m_identifier;
    std::thread m_thread;
    std::atomic<bool> m_cancelled{false};
    mutable std::mutex m_mutex;
    // Held while `done` runs, and by Forget().
    std::mutex m_callbackMutex;
    std::condition_variable m_changed;
    Done m_done;
    bool m_running = false;
    // A Start() came while a cancelled search was still ending.
    bool m_again = false;
    bool m_usbBusy = false;
};

}  // namespace kvt::link
