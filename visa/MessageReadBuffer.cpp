#include "visa/MessageReadBuffer.h"

#include <cstring>

namespace kvt::visa {

void MessageReadBuffer::Append(std::string_view bytes, bool endsMessage) {
    if (m_taken > 0) {
        m_bytes.erase(0, m_taken);
        m_taken = 0;
    }
    m_bytes.append(bytes);
    m_endAfterLast = endsMessage;
}

void MessageReadBuffer::Clear() {
    m_bytes.clear();
    m_taken = 0;
    m_endAfterLast = false;
}

bool MessageReadBuffer::CanComplete(ViUInt32 count, bool termCharEnabled, ViUInt8 termChar) const {
    std::string_view pending = Pending();
    if (count == 0 || pending.size() >= count) {
        return true;
    }
    if (!pending.empty() && m_endAfterLast) {
        return true;
    }
    return termCharEnabled && pending.find(static_cast<char>(termChar)) != std::string::npos;
}

ViStatus MessageReadBuffer::Take(ViByte* data, ViUInt32 count, bool termCharEnabled,
                                 ViUInt8 termChar, ViUInt32& received) {
    std::string_view pending = Pending();
    size_t n = std::min<size_t>(count, pending.size());
    ViStatus status = VI_SUCCESS_MAX_CNT;
    if (termCharEnabled) {
        size_t term = pending.substr(0, n).find(static_cast<char>(termChar));
        if (term != std::string::npos) {
            n = term + 1;
            status = VI_SUCCESS_TERM_CHAR;
        }
    }
    if (n == pending.size() && m_endAfterLast) {
        status = VI_SUCCESS;
    }
    std::memcpy(data, pending.data(), n);
    m_taken += n;
    if (m_taken == m_bytes.size()) {
        m_bytes.clear();
        m_taken = 0;
        m_endAfterLast = false;
    }
    received = static_cast<ViUInt32>(n);
    return status;
}

}  // namespace kvt::visa
