#include "visa/MessageReadBuffer.h"

#include <cstring>

namespace kvt::visa {

void MessageReadBuffer::Append(std::string_view bytes, bool endsMessage) {
    bytes_.append(bytes);
    endAfterLast_ = endsMessage;
}

void MessageReadBuffer::Clear() {
    bytes_.clear();
    endAfterLast_ = false;
}

bool MessageReadBuffer::CanComplete(ViUInt32 count, bool termCharEnabled, ViUInt8 termChar) const {
    if (count == 0 || bytes_.size() >= count) {
        return true;
    }
    if (!bytes_.empty() && endAfterLast_) {
        return true;
    }
    return termCharEnabled && bytes_.find(static_cast<char>(termChar)) != std::string::npos;
}

ViStatus MessageReadBuffer::Take(ViByte* data, ViUInt32 count, bool termCharEnabled,
                                 ViUInt8 termChar, ViUInt32& received) {
    size_t n = std::min<size_t>(count, bytes_.size());
    ViStatus status = VI_SUCCESS_MAX_CNT;
    if (termCharEnabled) {
        size_t term = bytes_.find(static_cast<char>(termChar));
        if (term != std::string::npos && term < n) {
            n = term + 1;
            status = VI_SUCCESS_TERM_CHAR;
        } else if (term != std::string::npos && term + 1 == n) {
            status = VI_SUCCESS_TERM_CHAR;
        }
    }
    if (n == bytes_.size() && endAfterLast_) {
        status = VI_SUCCESS;
    }
    std::memcpy(data, bytes_.data(), n);
    bytes_.erase(0, n);
    if (bytes_.empty()) {
        endAfterLast_ = false;
    }
    received = static_cast<ViUInt32>(n);
    return status;
}

}  // namespace kvt::visa
