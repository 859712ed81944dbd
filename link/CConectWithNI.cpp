#include "link/CConectWithNI.h"

#include "visa/AbortIo.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "link/CommunicationFailure.h"
#include "link/ExchangeSequence.h"
#include "link/Pacer.h"

namespace kvt::link {
namespace {

// The rest of a reply that did not fit the caller's buffer is read in
// chunks of this size and dropped; a peer that never ends its reply is
// cut off after kMaxDiscardedBytes.
constexpr ViUInt32 kDiscardChunk = 4096;
constexpr size_t kMaxDiscardedBytes = size_t{64} << 20;

bool Failed(ViStatus status) {
    return status < VI_SUCCESS;
}

// A raw socket ("TCPIP0::host::5025::SOCKET") has no end-of-message
// signal: the instrument takes a line feed as the end of a command.
bool EndsWithLineFeed(const std::string& resource) {
    constexpr std::string_view kSocket = "::SOCKET";
    if (resource.size() < kSocket.size()) {
        return false;
    }
    const std::string_view tail =
        std::string_view(resource).substr(resource.size() - kSocket.size());
    for (size_t i = 0; i < kSocket.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(tail[i])) != kSocket[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

IConnection* GetConnection() {
    // Created once (thread-safe static initialisation) and never freed.
    static CConectWithNI* const connection = new CConectWithNI();
    return connection;
}

bool CConectWithNI::Open(const char* resource) {
    if (resource == nullptr || std::strlen(resource) > kMaxResourceLength) {
        return OpenFailed(OpenStep::ResourceText, VI_ERROR_INV_RSRC_NAME);
    }
    // A second Open would otherwise leak the session and manager still
    // open; a USB device also refuses a second session while one holds it.
    if (m_session.load() != VI_NULL || m_resourceManager.load() != VI_NULL) {
        Close();
    }
    uint64_t closes = 0;
    {
        std::lock_guard<std::mutex> guard(m_handlesMutex);
        closes = m_closes;
    }
    ViSession manager = VI_NULL;
    ViSession session = VI_NULL;
    std::string opened;
    if (!OpenHandles(resource, manager, session, opened)) {
        return false;
    }
    {
        std::lock_guard<std::recursive_mutex> exchange(m_lock);
        std::lock_guard<std::mutex> guard(m_handlesMutex);
        if (closes == m_closes) {
            m_resourceManager.store(manager);
            m_session.store(session);
            m_lineFeedEnds.store(EndsWithLineFeed(opened));
            m_openedResource = std::move(opened);
            session = VI_NULL;
            manager = VI_NULL;
        }
    }
    if (session != VI_NULL) {
        // Closed while opening: the user disconnected meanwhile.
        viClose(session);
        viClose(manager);
        return OpenFailed(OpenStep::Session, VI_ERROR_INV_OBJECT);
    }
    {
        std::lock_guard<std::mutex> guard(m_openFailureMutex);
        m_openFailure = OpenFailure{};
    }
    return true;
}

bool CConectWithNI::OpenHandles(const char* resource, ViSession& manager, ViSession& session,
                                std::string& opened) {
    ViStatus status = viOpenDefaultRM(&manager);
    if (Failed(status)) {
        return OpenFailed(OpenStep::ResourceManager, status);
    }
    std::array<ViChar, VI_FIND_BUFLEN> descriptor{};
    if (std::strstr(resource, "TCPIP") != nullptr) {
        std::memcpy(descriptor.data(), resource, std::strlen(resource));
    } else {
        ViFindList list = VI_NULL;
        ViUInt32 matches = 0;
        status = viFindRsrc(manager, resource, &list, &matches, descriptor.data());
        if (Failed(status) || matches == 0) {
            viClose(manager);
            return OpenFailed(OpenStep::Search, Failed(status) ? status : VI_ERROR_RSRC_NFOUND);
        }
        // Only the first match is used; the list goes with the manager.
        viClose(list);
    }
    status = viOpen(manager, descriptor.data(), VI_NO_LOCK, 0, &session);
    if (Failed(status)) {
        viClose(manager);
        return OpenFailed(OpenStep::Session, status);
    }
    opened = descriptor.data();
    return true;
}

bool CConectWithNI::OpenFailed(OpenStep step, ViStatus status) {
    std::lock_guard<std::mutex> guard(m_openFailureMutex);
    m_openFailure = OpenFailure{step, status};
    return false;
}

CConectWithNI::OpenFailure CConectWithNI::LastOpenFailure() const {
    std::lock_guard<std::mutex> guard(m_openFailureMutex);
    return m_openFailure;
}

bool CConectWithNI::Close() {
    ViSession session = VI_NULL;
    ViSession manager = VI_NULL;
    {
        std::lock_guard<std::mutex> guard(m_handlesMutex);
        ++m_closes;
        session = m_session.exchange(VI_NULL);
        manager = m_resourceManager.exchange(VI_NULL);
        m_openedResource.clear();
    }
    viClose(session);
    viClose(manager);
    return true;
}

std::string CConectWithNI::OpenedResource() const {
    std::lock_guard<std::mutex> guard(m_handlesMutex);
    return m_openedResource;
}

bool CConectWithNI::IsOpen() {
    return m_session.load() != VI_NULL;
}

ViStatus CConectWithNI::WriteLocked(const char* command) {
    ViSession session = m_session.load();
    if (session == VI_NULL) {
        return VI_ERROR_INV_OBJECT;
    }
    ViUInt32 written = 0;
    const size_t length = std::strlen(command);
    if (m_lineFeedEnds.load() && (length == 0 || command[length - 1] != '\n')) {
        std::string line(command, length);
        line += '\n';
        return viWrite(session, reinterpret_cast<ViConstBuf>(line.data()),
                       static_cast<ViUInt32>(line.size()), &written);
    }
    return viWrite(session, reinterpret_cast<ViConstBuf>(command), static_cast<ViUInt32>(length),
                   &written);
}

void CConectWithNI::DiscardRestOfReply(ViSession session) {
    std::array<ViByte, kDiscardChunk> scratch;
    size_t discarded = 0;
    ViStatus status = VI_SUCCESS_MAX_CNT;
    while (status == VI_SUCCESS_MAX_CNT && discarded < kMaxDiscardedBytes) {
        ViUInt32 received = 0;
        status = viRead(session, scratch.data(), kDiscardChunk, &received);
        discarded += received;
    }
}

ViStatus CConectWithNI::ReadLocked(char* buffer, uint32_t size, uint32_t* count) {
    ViUInt32 received = 0;
    ViSession session = m_session.load();
    ViStatus status = VI_ERROR_INV_OBJECT;
    if (session != VI_NULL) {
        status = viRead(session, reinterpret_cast<ViBuf>(buffer), size, &received);
        // The buffer filled before the reply ended: drop the rest now, so
        // that the next exchange does not receive this reply's tail.
        if (status == VI_SUCCESS_MAX_CNT) {
            DiscardRestOfReply(session);
        }
    }
    if (count != nullptr) {
        *count = received > size ? size : received;
    }
    return status;
}

std::unique_lock<std::recursive_mutex> CConectWithNI::LockForExchange() {
    if (ExchangeSequence::Failing()) {
        return {};
    }
    std::unique_lock<std::recursive_mutex> guard(m_lock);
    // A failure counted while this thread waited (the exchange that held
    // the lock failed) ends the sequence as well.
    if (ExchangeSequence::Failing()) {
        guard.unlock();
    }
    return guard;
}

bool CConectWithNI::Write(const char* command) {
    std::unique_lock<std::recursive_mutex> guard = LockForExchange();
    if (!guard.owns_lock()) {
        return false;
    }
    if (Failed(WriteLocked(command))) {
        ExchangeSequence::NoteFailedWrite();
        return false;
    }
    return true;
}

bool CConectWithNI::Read(char* buffer, uint32_t size, uint32_t* count) {
    if (count != nullptr) {
        *count = 0;
    }
    {
        std::unique_lock<std::recursive_mutex> guard = LockForExchange();
        if (guard.owns_lock() && !Failed(ReadLocked(buffer, size, count))) {
            return true;
        }
        // Counted before the lock is released, so that an exchange waiting
        // for it sees the failure; shown after. A read skipped because its
        // sequence has failed counts as one that timed out.
        CountCommunicationFailure();
    }
    ShowCommunicationFailure();
    return false;
}

bool CConectWithNI::ClearDevice() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    ViSession session = m_session.load();
    if (session == VI_NULL) {
        return false;
    }
    const ViStatus status = viClear(session);
    return !Failed(status) || status == VI_ERROR_NSUP_OPER;
}

void CConectWithNI::AbortIo() {
    ViSession session = m_session.load();
    if (session != VI_NULL) {
        visa::AbortSessionIo(session);
    }
}

bool CConectWithNI::Query(const char* command, char* buffer, uint32_t size, uint32_t* count) {
    if (count != nullptr) {
        *count = 0;
    }
    if (m_session.load() == VI_NULL) {
        return false;
    }
    {
        std::unique_lock<std::recursive_mutex> guard = LockForExchange();
        if (guard.owns_lock()) {
            if (Failed(WriteLocked(command))) {
                ExchangeSequence::NoteFailedWrite();
                return false;
            }
            // The instrument needs this long before its reply is ready;
            // other threads' commands wait meanwhile.
            Pause(kQueryPause);
            if (!Failed(ReadLocked(buffer, size, count))) {
                return true;
            }
        }
        // As in Read: counted under the lock, shown after; a query skipped
        // because its sequence has failed counts as a failed one.
        CountCommunicationFailure();
    }
    ShowCommunicationFailure();
    return false;
}

}  // namespace kvt::link
