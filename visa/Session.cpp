#include "visa/Session.h"

#include "visa/VisaString.h"

namespace kvt::visa {

Session::Session(std::string resourceName, ViUInt16 interfaceType, unsigned board)
    : resourceName_(std::move(resourceName)), interfaceType_(interfaceType), board_(board) {}

Session::~Session() = default;

ViStatus Session::GetAttribute(ViAttr attribute, void* value) const {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    switch (attribute) {
        case VI_ATTR_TMO_VALUE:
            *static_cast<ViUInt32*>(value) = attributes_.timeoutMs;
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR:
            *static_cast<ViUInt8*>(value) = attributes_.termChar;
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR_EN:
            *static_cast<ViBoolean*>(value) = attributes_.termCharEnabled ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_SEND_END_EN:
            *static_cast<ViBoolean*>(value) = attributes_.sendEndEnabled ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_INTF_TYPE:
            *static_cast<ViUInt16*>(value) = interfaceType_;
            return VI_SUCCESS;
        case VI_ATTR_INTF_NUM:
            *static_cast<ViUInt16*>(value) = static_cast<ViUInt16>(board_);
            return VI_SUCCESS;
        case VI_ATTR_RSRC_NAME:
            CopyVisaString(resourceName_, value);
            return VI_SUCCESS;
        default:
            return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus Session::SetAttribute(ViAttr attribute, ViAttrState value) {
    switch (attribute) {
        case VI_ATTR_TMO_VALUE:
            attributes_.timeoutMs = static_cast<ViUInt32>(value);
            break;
        case VI_ATTR_TERMCHAR:
            if (value > 0xFF) {
                return VI_ERROR_NSUP_ATTR_STATE;
            }
            attributes_.termChar = static_cast<ViUInt8>(value);
            break;
        case VI_ATTR_TERMCHAR_EN:
            attributes_.termCharEnabled = value != VI_FALSE;
            break;
        case VI_ATTR_SEND_END_EN:
            attributes_.sendEndEnabled = value != VI_FALSE;
            break;
        case VI_ATTR_INTF_TYPE:
        case VI_ATTR_INTF_NUM:
        case VI_ATTR_RSRC_NAME:
            return VI_ERROR_ATTR_READONLY;
        default:
            return VI_ERROR_NSUP_ATTR;
    }
    AttributesChanged();
    return VI_SUCCESS;
}

}  // namespace kvt::visa
