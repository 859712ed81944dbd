#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "visa/InterfaceProvider.h"
#include "visa/LockTable.h"
#include "visa/visa.h"

namespace kvt::visa {

// The VISA layer's object table: resource-manager sessions, instrument
// sessions and find lists, each under a handle that is never reused.
// Closing a resource manager closes the sessions and find lists it opened.
class ResourceManager {
public:
    explicit ResourceManager(std::vector<std::unique_ptr<InterfaceProvider>> providers);

    // The process-wide manager behind the C calls, with every interface.
    static ResourceManager& Instance();

    ViStatus OpenDefaultRM(ViSession* vi);
    ViStatus FindRsrc(ViSession rm, ViConstString expression, ViFindList* list, ViUInt32* count,
                      ViChar* descriptor);
    ViStatus FindNext(ViFindList list, ViChar* descriptor);
    ViStatus Open(ViSession rm, ViConstRsrc name, ViAccessMode mode, ViUInt32 openTimeoutMs,
                  ViSession* vi);
    ViStatus Close(ViObject object);
    ViStatus Write(ViSession vi, ViConstBuf data, ViUInt32 count, ViUInt32* written);
    ViStatus Read(ViSession vi, ViBuf data, ViUInt32 count, ViUInt32* received);
    // Session::AbortIo of the session, without waiting for its I/O lock.
    ViStatus AbortIo(ViSession vi);
    ViStatus SetAttribute(ViObject object, ViAttr attribute, ViAttrState value);
    ViStatus GetAttribute(ViObject object, ViAttr attribute, void* value);

    ViStatus ParseRsrc(ViSession rm, ViConstRsrc name, ViUInt16* interfaceType,
                       ViUInt16* interfaceNumber, ViChar* resourceClass, ViChar* expandedName,
                       ViChar* alias);
    ViStatus Clear(ViSession vi);
    ViStatus ReadStb(ViSession vi, ViUInt16* status);
    ViStatus AssertTrigger(ViSession vi, ViUInt16 protocol);
    ViStatus Flush(ViSession vi, ViUInt16 mask);
    ViStatus SetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size);
    // Process-wide VISA locks; an exclusive lock on a VXI-11 resource also
    // takes the instrument's own lock, so that other clients wait too.
    ViStatus Lock(ViSession vi, ViAccessMode type, ViUInt32 timeoutMs, ViConstString requestedKey,
                  ViChar* accessKey);
    ViStatus Unlock(ViSession vi);
    // No session here delivers events: enabling one is refused, disabling
    // and discarding report that there was nothing.
    ViStatus EnableEvent(ViSession vi, ViUInt32 eventType, ViUInt16 mechanism);
    ViStatus DisableEvent(ViSession vi, ViUInt32 eventType, ViUInt16 mechanism);
    ViStatus DiscardEvents(ViSession vi, ViUInt32 eventType, ViUInt16 mechanism);

private:
    struct ManagerEntry {
        ViUInt32 timeoutMs = 2000;
    };
    struct SessionEntry {
        ViSession manager;
        std::shared_ptr<Session> session;
    };
    struct FindListEntry {
        ViSession manager;
        std::vector<std::string> matches;
        size_t next = 0;
    };
    using Entry = std::variant<ManagerEntry, SessionEntry, FindListEntry>;

    // The entry of this kind under the handle, or nullptr; m_mutex held.
    template <typename T>
    T* FindLocked(ViObject object) {
        auto it = m_objects.find(object);
        return it == m_objects.end() ? nullptr : std::get_if<T>(&it->second);
    }
    std::shared_ptr<Session> SessionFor(ViSession vi);
    // Runs `call` on the session with its I/O lock held, unless the handle
    // is not a session (VI_ERROR_INV_OBJECT) or another session holds a
    // lock on the resource (VI_ERROR_RSRC_LOCKED).
    template <typename F>
    ViStatus WithSession(ViSession vi, F&& call);
    ViStatus CheckEventArguments(ViSession vi, ViUInt32 eventType, ViUInt16 mechanism);
    ViObject AddLocked(Entry entry);

    std::vector<std::unique_ptr<InterfaceProvider>> m_providers;
    std::mutex m_mutex;
    ViObject m_nextHandle = 1;
    std::map<ViObject, Entry> m_objects;
    LockTable m_locks;
    std::condition_variable m_lockReleased;
};

// Every interface of the built-in layer, in the order they are asked.
std::vector<std::unique_ptr<InterfaceProvider>> CreateInterfaceProviders();

}  // namespace kvt::visa
