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
    bool Empty() const { return m_taken == m_bytes.size(); }
    size_t Size() const { return m_bytes.size() - m_taken; }
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
    // What is still to be handed out: m_bytes from m_taken on. A long message
    // read in small pieces is neither moved nor searched again per piece.
    std::string_view Pending() const { return std::string_view(m_bytes).substr(m_taken); }

    std::string m_bytes;
    size_t m_taken = 0;
    bool m_endAfterLast = false;
};

}  // namespace kvt::visa
