#include "link/InstrumentSearch.h"

#include <algorithm>

#include "visa/visa.h"

namespace kvt::link {

InstrumentSearch::InstrumentSearch() : InstrumentSearch(&ListResources, &Identify) {}

InstrumentSearch::InstrumentSearch(Lister lister, Identifier identifier)
    : m_lister(std::move(lister)), m_identifier(std::move(identifier)) {}

InstrumentSearch::~InstrumentSearch() {
    Forget();
    Cancel();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void InstrumentSearch::Start(Done done) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done = std::move(done);
    if (m_running) {
        // A cancelled search would answer with names alone: it runs again.
        m_again = m_again || m_cancelled;
        return;
    }
    // The previous search has ended (m_running is false); its thread only
    // has to be collected.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_cancelled = false;
    m_running = true;
    m_thread = std::thread([this] { Run(); });
}

void InstrumentSearch::Forget() {
    std::lock_guard<std::mutex> callback(m_callbackMutex);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done = nullptr;
}

void InstrumentSearch::Cancel() {
    m_cancelled = true;
}

void InstrumentSearch::WaitUntilUsbIsFree() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_usbBusy; });
}

bool InstrumentSearch::Running() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

void InstrumentSearch::Run() {
    for (;;) {
        Results all = Search();
        std::lock_guard<std::mutex> callback(m_callbackMutex);
        Done done;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_again) {
                m_again = false;
                m_cancelled = false;
                continue;
            }
            done = std::move(m_done);
            m_done = nullptr;
            m_running = false;
        }
        m_changed.notify_all();
        if (done) {
            done(std::move(all));
        }
        return;
    }
}

InstrumentSearch::Results InstrumentSearch::Search() {
    Results usb;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_usbBusy = true;
    }
    for (const std::string& name : m_lister("USB?*INSTR")) {
        FoundInstrument found;
        if (FoundInstrument::FromResource(name, found)) {
            usb.push_back(std::move(found));
        }
    }
    IdentifyAll(usb);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_usbBusy = false;
    }
    m_changed.notify_all();

    Results network;
    if (!m_cancelled) {
        for (const std::string& name : m_lister("TCPIP?*INSTR")) {
            FoundInstrument found;
            if (FoundInstrument::FromResource(name, found)) {
                network.push_back(std::move(found));
            }
        }
        IdentifyAll(network);
    }

    Results all = std::move(usb);
    for (FoundInstrument& found : network) {
        const bool seen = std::any_of(all.begin(), all.end(), [&](const FoundInstrument& f) {
            return f.resource == found.resource;
        });
        if (!seen) {
            all.push_back(std::move(found));
        }
    }
    return all;
}

void InstrumentSearch::IdentifyAll(Results& found) {
    // A few queries at a time: a silent instrument costs its timeout, and
    // a network full of them must not take the sum of theirs.
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < found.size(); i = next++) {
            if (m_cancelled) {
                return;
            }
            found[i].TakeIdentity(m_identifier(found[i].resource));
        }
    };
    const size_t helpers = std::min(found.size(), kParallelQueries);
    std::vector<std::thread> threads;
    for (size_t i = 1; i < helpers; ++i) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

std::vector<std::string> InstrumentSearch::ListResources(const char* expression) {
    std::vector<std::string> names;
    ViSession manager = VI_NULL;
    if (viOpenDefaultRM(&manager) < VI_SUCCESS) {
        return names;
    }
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    ViChar descriptor[VI_FIND_BUFLEN] = {};
    if (viFindRsrc(manager, expression, &list, &count, descriptor) >= VI_SUCCESS) {
        names.emplace_back(descriptor);
        for (ViUInt32 i = 1; i < count; ++i) {
            if (viFindNext(list, descriptor) < VI_SUCCESS) {
                break;
            }
            names.emplace_back(descriptor);
        }
        viClose(list);
    }
    viClose(manager);
    return names;
}

std::string InstrumentSearch::Identify(const std::string& resource) {
    std::string reply;
    ViSession manager = VI_NULL;
    if (viOpenDefaultRM(&manager) < VI_SUCCESS) {
        return reply;
    }
    ViSession session = VI_NULL;
    if (viOpen(manager, resource.c_str(), VI_NO_LOCK, kIdentifyTimeoutMs, &session) >= VI_SUCCESS) {
        viSetAttribute(session, VI_ATTR_TMO_VALUE, kIdentifyTimeoutMs);
        static constexpr char kQuery[] = "*IDN?\n";
        ViUInt32 written = 0;
        if (viWrite(session, reinterpret_cast<ViConstBuf>(kQuery), sizeof(kQuery) - 1, &written) >=
            VI_SUCCESS) {
            ViByte buffer[256] = {};
            ViUInt32 count = 0;
            const ViStatus status = viRead(session, buffer, sizeof(buffer), &count);
            if (status >= VI_SUCCESS) {
                reply.assign(reinterpret_cast<const char*>(buffer), count);
            }
        }
        viClose(session);
    }
    viClose(manager);
    return reply;
}

}  // namespace kvt::link
