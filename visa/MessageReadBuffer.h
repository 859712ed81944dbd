#pragma once

#include <string>

#include "visa/visa.h"

namespace kvt::visa {

// Bytes received from a device but not yet handed to the caller, with a note
// of whether the device ended its message (END) after the last of them.
// Sessions that receive whole messages or stream chunks hand reads out of
// it so that a read into a small buffer leaves the rest readable.
class MessageReadBuffer {
public:
    void Append(std::string_view bytes, bool endsMessage);
    bool Empty() const { return taken_ == bytes_.size(); }
    size_t Size() const { return bytes_.size() - taken_; }
    void Clear();

    // True when a read of `count` bytes can be completed from the buffer
    // alone: the buffer holds count bytes, the message end, or (when
    // enabled) the termination character.
    bool CanComplete(ViUInt32 count, bool termCharEnabled, ViUInt8 termChar) const;

    // Moves bytes into `data` up to count, the message end or the enabled
    // termination character, and returns the VISA completion status.
    // Only call when CanComplete() holds.
    ViStatus Take(ViByte* data, ViUInt32 count, bool termCharEnabled, ViUInt8 termChar,
                  ViUInt32& received);

private:
    // What is still to be handed out: bytes_ from taken_ on. A long message
    // read in small pieces is neither moved nor searched again per piece.
    std::string_view Pending() const { return std::string_view(bytes_).substr(taken_); }

    std::string bytes_;
    size_t taken_ = 0;
    bool endAfterLast_ = false;
};

}  // namespace kvt::visa
