#include "visa/MessageReadBuffer.h"

#include <cstring>

namespace kvt::visa {

void MessageReadBuffer::Append(std::string_view bytes, bool endsMessage) {
    if (taken_ > 0) {
        bytes_.erase(0, taken_);
        taken_ = 0;
    }
    bytes_.append(bytes);
    endAfterLast_ = endsMessage;
}

void MessageReadBuffer::Clear() {
    bytes_.clear();
    taken_ = 0;
    endAfterLast_ = false;
}

bool MessageReadBuffer::CanComplete(ViUInt32 count, bool termCharEnabled, ViUInt8 termChar) const {
    std::string_view pending = Pending();
    if (count == 0 || pending.size() >= count) {
        return true;
    }
    if (!pending.empty() && endAfterLast_) {
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
    if (n == pending.size() && endAfterLast_) {
        status = VI_SUCCESS;
    }
    std::memcpy(data, pending.data(), n);
    taken_ += n;
    if (taken_ == bytes_.size()) {
        bytes_.clear();
        taken_ = 0;
        endAfterLast_ = false;
    }
    received = static_cast<ViUInt32>(n);
    return status;
}

}  // namespace kvt::visa
