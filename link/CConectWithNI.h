#pragma once

#include <atomic>
#include <chrono>
#include <mutex>

#include "link/IConnection.h"
#include "visa/visa.h"

namespace kvt::link {

// The connection over the VISA C calls. Write, Read and Query each hold
// the lock for their whole exchange, so one query's write and read are
// never split by another thread's command. A failed read raises the
// communication-failure message after the lock is released.
class CConectWithNI final : public IConnection {
public:
    // The pause between a query's write and its read.
    static constexpr std::chrono::milliseconds kQueryPause{100};
    // Longest resource text that fits the descriptor buffer with its terminator.
    static constexpr size_t kMaxResourceLength = VI_FIND_BUFLEN - 1;

    CConectWithNI() = default;
    CConectWithNI(const CConectWithNI&) = delete;
    CConectWithNI& operator=(const CConectWithNI&) = delete;

    bool Open(const char* resource) override;
    bool Close() override;
    bool IsOpen() override;
    bool Write(const char* command) override;
    bool Read(char* buffer, uint32_t size, uint32_t* count) override;
    bool Query(const char* command, char* buffer, uint32_t size, uint32_t* count) override;
    void AbortIo() override;

    // The VISA handles, for diagnostics and tests; 0 when none.
    ViSession SessionHandle() const { return m_session.load(); }
    ViSession ResourceManagerHandle() const { return m_resourceManager.load(); }

private:
    ViStatus WriteLocked(const char* command);
    ViStatus ReadLocked(char* buffer, uint32_t size, uint32_t* count);
    void DiscardRestOfReply(ViSession session);

    std::atomic<ViSession> m_session{VI_NULL};
    std::atomic<ViSession> m_resourceManager{VI_NULL};
    std::recursive_mutex m_lock;
};

}  // namespace kvt::link
