#include "link/CommunicationFailure.h"

#include <atomic>
#include <mutex>

namespace kvt::link {
namespace {

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

std::atomic<uint64_t> g_failures{0};

CommunicationFailureHandler& Handler() {
    static CommunicationFailureHandler handler;
    return handler;
}

}  // namespace

void SetCommunicationFailureHandler(CommunicationFailureHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    Handler() = std::move(handler);
}

void ReportCommunicationFailure() {
    CountCommunicationFailure();
    ShowCommunicationFailure();
}

void CountCommunicationFailure() {
    g_failures.fetch_add(1);
}

void ShowCommunicationFailure() {
    CommunicationFailureHandler handler;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        handler = Handler();
    }
    // Called outside the handler mutex so that a handler may replace itself.
    if (handler) {
        handler(kCommunicationFailureText, kCommunicationFailureTitle);
    }
}

uint64_t CommunicationFailureCount() {
    return g_failures.load();
}

}  // namespace kvt::link
