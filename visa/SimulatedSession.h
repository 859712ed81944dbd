#pragma once

#include <memory>

#include "visa/MessageDevice.h"
#include "visa/MessageReadBuffer.h"
#include "visa/Session.h"

namespace kvt::visa {

// A session with an in-process message device. A read with no response
// pending times out at once: nothing else could produce one.
class SimulatedSession : public Session {
public:
    SimulatedSession(std::string resourceName, ViUInt16 interfaceType, unsigned board,
                     std::shared_ptr<MessageDevice> device);

    ViStatus Write(const ViByte* data, ViUInt32 count, ViUInt32& written) override;
    ViStatus Read(ViByte* data, ViUInt32 count, ViUInt32& received) override;
    ViStatus Clear() override;
    ViStatus ReadStatusByte(ViUInt16& status) override;
    // The simulated meter takes a bus trigger as the servers do: accepted,
    // with nothing armed to start.
    ViStatus AssertTrigger() override { return VI_SUCCESS; }
    void DiscardInput() override { m_pending.Clear(); }
    ViStatus GetAttribute(ViAttr attribute, void* value) const override;

private:
    std::shared_ptr<MessageDevice> m_device;
    std::string m_partialMessage;  // written without END so far
    MessageReadBuffer m_pending;
};

}  // namespace kvt::visa
