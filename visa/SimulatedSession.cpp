#include "visa/SimulatedSession.h"

namespace kvt::visa {

SimulatedSession::SimulatedSession(std::string resourceName, ViUInt16 interfaceType, unsigned board,
                                   std::shared_ptr<MessageDevice> device)
    : Session(std::move(resourceName), interfaceType, board), device_(std::move(device)) {}

ViStatus SimulatedSession::Write(const ViByte* data, ViUInt32 count, ViUInt32& written) {
    partialMessage_.append(reinterpret_cast<const char*>(data), count);
    written = count;
    if (Attributes().sendEndEnabled) {
        device_->ReceiveMessage(partialMessage_);
        partialMessage_.clear();
    }
    return VI_SUCCESS;
}

ViStatus SimulatedSession::Read(ViByte* data, ViUInt32 count, ViUInt32& received) {
    received = 0;
    const SessionAttributes& a = Attributes();
    if (pending_.Empty()) {
        std::string response = device_->TakeResponse();
        if (!response.empty()) {
            pending_.Append(response, true);
        }
    }
    if (pending_.Empty()) {
        return VI_ERROR_TMO;
    }
    return pending_.Take(data, count, a.termCharEnabled, a.termChar, received);
}

}  // namespace kvt::visa
