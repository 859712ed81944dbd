#include "visa/SimulatedSession.h"

#include "visa/ResourceName.h"
#include "visa/VisaString.h"

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

ViStatus SimulatedSession::Clear() {
    partialMessage_.clear();
    pending_.Clear();
    device_->DeviceClear();
    return VI_SUCCESS;
}

ViStatus SimulatedSession::ReadStatusByte(ViUInt16& status) {
    status = device_->StatusByte();
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
