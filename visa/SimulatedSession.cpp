#include "visa/SimulatedSession.h"

#include "visa/ResourceName.h"
#include "visa/VisaString.h"

namespace kvt::visa {

SimulatedSession::SimulatedSession(std::string resourceName, ViUInt16 interfaceType, unsigned board,
                                   std::shared_ptr<MessageDevice> device)
    : Session(std::move(resourceName), interfaceType, board), m_device(std::move(device)) {}

ViStatus SimulatedSession::Write(const ViByte* data, ViUInt32 count, ViUInt32& written) {
    m_partialMessage.append(reinterpret_cast<const char*>(data), count);
    written = count;
    if (Attributes().sendEndEnabled) {
        m_device->ReceiveMessage(m_partialMessage);
        m_partialMessage.clear();
    }
    return VI_SUCCESS;
}

ViStatus SimulatedSession::Read(ViByte* data, ViUInt32 count, ViUInt32& received) {
    received = 0;
    const SessionAttributes& a = Attributes();
    if (m_pending.Empty()) {
        std::string response = m_device->TakeResponse();
        if (!response.empty()) {
            m_pending.Append(response, true);
        }
    }
    if (m_pending.Empty()) {
        return VI_ERROR_TMO;
    }
    return m_pending.Take(data, count, a.termCharEnabled, a.termChar, received);
}

ViStatus SimulatedSession::Clear() {
    m_partialMessage.clear();
    m_pending.Clear();
    m_device->DeviceClear();
    return VI_SUCCESS;
}

ViStatus SimulatedSession::ReadStatusByte(ViUInt16& status) {
    status = m_device->StatusByte();
    return VI_SUCCESS;
}

ViStatus SimulatedSession::GetAttribute(ViAttr attribute, void* value) const {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    if (InterfaceType() == VI_INTF_USB) {
        // What the simulated meter is listed as.
        std::optional<visa::ResourceName> name = visa::ResourceName::Parse(ResourceName());
        switch (attribute) {
            case VI_ATTR_MANF_ID:
                *static_cast<ViUInt16*>(value) = name ? name->vendorId : 0;
                return VI_SUCCESS;
            case VI_ATTR_MODEL_CODE:
                *static_cast<ViUInt16*>(value) = name ? name->productId : 0;
                return VI_SUCCESS;
            case VI_ATTR_USB_SERIAL_NUM:
                CopyVisaString(name ? name->serial : std::string(), value);
                return VI_SUCCESS;
            case VI_ATTR_USB_INTFC_NUM:
                *static_cast<ViInt16*>(value) = 0;
                return VI_SUCCESS;
            default:
                break;
        }
    }
    return Session::GetAttribute(attribute, value);
}

}  // namespace kvt::visa
