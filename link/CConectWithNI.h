#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "link/IConnection.h"
#include "visa/visa.h"

namespace kvt::link {

// The connection over the VISA C calls. Write, Read and Query each hold
// the lock for their whole exchange, so one query's write and read are
// never split by another thread's command. A failed read is counted
// before the lock is released and raises the communication-failure message
// after. Inside an ExchangeSequence that has seen a failure, each exchange
// fails at once without touching the instrument.
class CConectWithNI final : public IConnection {
public:
    // The pause between a query's write and its read.
    static constexpr std::chrono::milliseconds kQueryPause{100};
    // Longest resource text that fits the descriptor buffer with its terminator.
    static constexpr size_t kMaxResourceLength = VI_FIND_BUFLEN - 1;

    // The step of Open that failed, with the VISA status it returned, so
    // that the failure can be explained without opening anything again.
    enum class OpenStep {
        None,             // the last Open succeeded, or none was made
        ResourceText,     // no text, or one too long for the descriptor
        ResourceManager,  // viOpenDefaultRM
        Search,           // viFindRsrc failed or found nothing
        Session,          // viOpen
    };
    struct OpenFailure {
        OpenStep step = OpenStep::None;
        ViStatus status = VI_SUCCESS;
    };

    CConectWithNI() = default;
    CConectWithNI(const CConectWithNI&) = delete;
    CConectWithNI& operator=(const CConectWithNI&) = delete;

    bool Open(const char* resource) override;
    bool Close() override;
    bool IsOpen() override;
    // Sends the command as it stands; on a raw socket, which has no other
    // end of a message, a line feed is added unless it ends with one.
    bool Write(const char* command) override;
    bool Read(char* buffer, uint32_t size, uint32_t* count) override;
    bool Query(const char* command, char* buffer, uint32_t size, uint32_t* count) override;
    void AbortIo() override;
    // Clears the instrument (VXI-11 device_clear, USBTMC INITIATE_CLEAR):
    // what it still had to say to an earlier session is dropped, so that
    // a reopened session does not read a stale reply. True when cleared or
    // when the interface has no such operation.
    bool ClearDevice();

    // Why the last Open failed; step None after one that succeeded.
    OpenFailure LastOpenFailure() const;
    // The resource the open session is on ("USB0::0x1AB1::0x09C4::DM1234::INSTR"
    // where a search expression was opened); empty when none is open. A
    // USB meter that comes back under a new bus address is found by it.
    std::string OpenedResource() const;

    // The VISA handles, for diagnostics and tests; 0 when none.
    ViSession SessionHandle() const { return m_session.load(); }
    ViSession ResourceManagerHandle() const { return m_resourceManager.load(); }

private:
    bool OpenFailed(OpenStep step, ViStatus status);
    // The slow part of Open, touching nothing of this object: the manager,
    // the search and the session, with the resource found.
    bool OpenHandles(const char* resource, ViSession& manager, ViSession& session,
                     std::string& opened);
    // The lock for one exchange, or none (not owned) when the calling
    // thread's exchange sequence has failed, before or while waiting.
    std::unique_lock<std::recursive_mutex> LockForExchange();
    ViStatus WriteLocked(const char* command);
    ViStatus ReadLocked(char* buffer, uint32_t size, uint32_t* count);
    void DiscardRestOfReply(ViSession session);

    std::atomic<ViSession> m_session{VI_NULL};
    std::atomic<ViSession> m_resourceManager{VI_NULL};
    // The open session is a raw socket: every command gets a line feed.
    std::atomic<bool> m_lineFeedEnds{false};
    std::recursive_mutex m_lock;
    mutable std::mutex m_openFailureMutex;
    OpenFailure m_openFailure;
    // Open and Close may come from different threads (a reconnection in
    // the background, Disconnect on the user-interface thread): they
    // install and take away the handles under this lock, and an Open that
    // a Close overtook while it was opening closes what it opened instead.
    mutable std::mutex m_handlesMutex;
    uint64_t m_closes = 0;         // guarded by m_handlesMutex
    std::string m_openedResource;  // guarded by m_handlesMutex
};

}  // namespace kvt::link
