#include "visa/Session.h"

#include <cstdlib>

#include "visa/VisaString.h"

namespace kvt::visa {

Session::Session(std::string resourceName, ViUInt16 interfaceType, unsigned board)
    : m_resourceName(std::move(resourceName)), m_interfaceType(interfaceType), m_board(board) {}

Session::~Session() = default;

std::string Session::ResourceClassName() const {
    size_t at = m_resourceName.rfind("::");
    return at == std::string::npos ? std::string() : m_resourceName.substr(at + 2);
}

ViStatus Session::ReadStatusByte(ViUInt16& status) {
    status = 0;
    return VI_ERROR_NSUP_OPER;
}

ViStatus Session::QueryStatusByte(ViUInt16& status) {
    status = 0;
    static constexpr char kQuery[] = "*STB?\n";
    ViUInt32 done = 0;
    ViStatus written = Write(reinterpret_cast<const ViByte*>(kQuery), sizeof(kQuery) - 1, done);
    if (written < VI_SUCCESS) {
        return written;
    }
    // The reply is a number in NR1 form ending with a newline.
    SessionAttributes saved = m_attributes;
    m_attributes.termChar = '\n';
    m_attributes.termCharEnabled = true;
    char reply[32] = {};
    ViStatus read = Read(reinterpret_cast<ViByte*>(reply), sizeof(reply) - 1, done);
    m_attributes = saved;
    if (read < VI_SUCCESS) {
        return read;
    }
    reply[done] = '\0';
    char* end = nullptr;
    long value = std::strtol(reply, &end, 10);
    if (end == reply || value < 0 || value > 0xFF) {
        return VI_ERROR_IO;  // not a status byte
    }
    status = static_cast<ViUInt16>(value);
    return VI_SUCCESS;
}

ViStatus Session::GetAttribute(ViAttr attribute, void* value) const {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    switch (attribute) {
        case VI_ATTR_TMO_VALUE:
            *static_cast<ViUInt32*>(value) = m_attributes.timeoutMs;
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR:
            *static_cast<ViUInt8*>(value) = m_attributes.termChar;
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR_EN:
            *static_cast<ViBoolean*>(value) = m_attributes.termCharEnabled ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_SEND_END_EN:
            *static_cast<ViBoolean*>(value) = m_attributes.sendEndEnabled ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_INTF_TYPE:
            *static_cast<ViUInt16*>(value) = m_interfaceType;
            return VI_SUCCESS;
        case VI_ATTR_INTF_NUM:
            *static_cast<ViUInt16*>(value) = static_cast<ViUInt16>(m_board);
            return VI_SUCCESS;
        case VI_ATTR_RSRC_NAME:
            CopyVisaString(m_resourceName, value);
            return VI_SUCCESS;
        case VI_ATTR_RSRC_CLASS:
            CopyVisaString(ResourceClassName(), value);
            return VI_SUCCESS;
        case VI_ATTR_IO_PROT:
            *static_cast<ViUInt16*>(value) = m_attributes.ioProtocol;
            return VI_SUCCESS;
        case VI_ATTR_RSRC_IMPL_VERSION:
            *static_cast<ViUInt32*>(value) = 0x00100000u;
            return VI_SUCCESS;
        case VI_ATTR_RSRC_MANF_NAME:
            CopyVisaString("Korvata", value);
            return VI_SUCCESS;
        case VI_ATTR_RSRC_MANF_ID:
            *static_cast<ViUInt16*>(value) = 0x3FFF;  // no registered vendor number
            return VI_SUCCESS;
        default:
            return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus Session::SetAttribute(ViAttr attribute, ViAttrState value) {
    switch (attribute) {
        case VI_ATTR_TMO_VALUE:
            m_attributes.timeoutMs = static_cast<ViUInt32>(value);
            break;
        case VI_ATTR_TERMCHAR:
            if (value > 0xFF) {
                return VI_ERROR_NSUP_ATTR_STATE;
            }
            m_attributes.termChar = static_cast<ViUInt8>(value);
            break;
        case VI_ATTR_TERMCHAR_EN:
            m_attributes.termCharEnabled = value != VI_FALSE;
            break;
        case VI_ATTR_SEND_END_EN:
            m_attributes.sendEndEnabled = value != VI_FALSE;
            break;
        case VI_ATTR_IO_PROT:
            if (value > 0xFFFF || !SupportsIoProtocol(static_cast<ViUInt16>(value))) {
                return VI_ERROR_NSUP_ATTR_STATE;
            }
            m_attributes.ioProtocol = static_cast<ViUInt16>(value);
            break;
        case VI_ATTR_INTF_TYPE:
        case VI_ATTR_INTF_NUM:
        case VI_ATTR_RSRC_NAME:
        case VI_ATTR_RSRC_CLASS:
        case VI_ATTR_RSRC_IMPL_VERSION:
        case VI_ATTR_RSRC_MANF_NAME:
        case VI_ATTR_RSRC_MANF_ID:
            return VI_ERROR_ATTR_READONLY;
        default:
            return VI_ERROR_NSUP_ATTR;
    }
    AttributesChanged();
    return VI_SUCCESS;
}

}  // namespace kvt::visa
