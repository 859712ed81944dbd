#pragma once

#include <cstdint>

namespace kvt::link {

// The one connection to the instrument. Every operation reports success
// as a boolean; nothing else of the transport reaches the caller.
class IConnection {
public:
    // Opens a session on a VISA resource name or search expression.
    virtual bool Open(const char* resource) = 0;
    // Closes the session and its resource manager; always true.
    virtual bool Close() = 0;
    virtual bool IsOpen() = 0;
    // Sends the command's bytes as they stand (no terminator is added).
    virtual bool Write(const char* command) = 0;
    // Reads one reply into buffer (at most size bytes); count receives the
    // number of bytes stored. A reply longer than the buffer is cut to it.
    virtual bool Read(char* buffer, uint32_t size, uint32_t* count) = 0;
    // Write, the query pause and Read as one exchange under the lock.
    virtual bool Query(const char* command, char* buffer, uint32_t size, uint32_t* count) = 0;
    // For the program's exit: an exchange that another thread has under
    // way fails at once instead of waiting for its timeout, and so does
    // every later one until the next Open. Sends nothing; takes no lock.
    virtual void AbortIo() {}

protected:
    // The one connection lives for the whole process and is never deleted.
    ~IConnection() = default;
};

// The process's one connection; created on first use, never freed.
IConnection* GetConnection();

}  // namespace kvt::link
