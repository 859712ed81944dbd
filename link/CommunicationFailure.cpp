#include "link/CommunicationFailure.h"

#include <mutex>

namespace kvt::link {
namespace {

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

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

}  // namespace kvt::link
