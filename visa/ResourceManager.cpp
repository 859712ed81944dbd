#include "visa/ResourceManager.h"

#include <chrono>
#include <cstring>

#include "visa/Deadline.h"

#include "visa/SearchExpression.h"
#include "visa/VisaString.h"

namespace kvt::visa {
namespace {

void CopyDescriptor(const std::string& name, ViChar* descriptor) {
    if (descriptor != nullptr) {
        CopyVisaString(name, descriptor);
    }
}

}  // namespace

ResourceManager::ResourceManager(std::vector<std::unique_ptr<InterfaceProvider>> providers)
    : m_providers(std::move(providers)) {}

ResourceManager& ResourceManager::Instance() {
    // Never destroyed: sessions may still be closed from other static destructors.
    static ResourceManager* instance = new ResourceManager(CreateInterfaceProviders());
    return *instance;
}

ViObject ResourceManager::AddLocked(Entry entry) {
    ViObject handle = m_nextHandle++;
    m_objects.emplace(handle, std::move(entry));
    return handle;
}

ViStatus ResourceManager::OpenDefaultRM(ViSession* vi) {
    if (vi == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    *vi = AddLocked(ManagerEntry{});
    return VI_SUCCESS;
}

ViStatus ResourceManager::FindRsrc(ViSession rm, ViConstString expression, ViFindList* list,
                                   ViUInt32* count, ViChar* descriptor) {
    if (list != nullptr) {
        *list = VI_NULL;
    }
    if (count != nullptr) {
        *count = 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (FindLocked<ManagerEntry>(rm) == nullptr) {
            return VI_ERROR_INV_OBJECT;
        }
    }
    if (expression == nullptr) {
        return VI_ERROR_INV_EXPR;
    }
    std::optional<SearchExpression> search = SearchExpression::Compile(expression);
    if (!search) {
        return VI_ERROR_INV_EXPR;
    }
    std::vector<std::string> matches;
    for (auto& provider : m_providers) {
        if (!provider->MayFind(*search)) {
            continue;
        }
        for (std::string& name : provider->ListResourcesFor(*search)) {
            if (search->Matches(name) &&
                std::find(matches.begin(), matches.end(), name) == matches.end()) {
                matches.push_back(std::move(name));
            }
        }
    }
    if (matches.empty()) {
        return VI_ERROR_RSRC_NFOUND;
    }
    CopyDescriptor(matches.front(), descriptor);
    if (count != nullptr) {
        *count = static_cast<ViUInt32>(matches.size());
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (FindLocked<ManagerEntry>(rm) == nullptr) {
        return VI_ERROR_INV_OBJECT;  // closed meanwhile
    }
    ViObject handle = AddLocked(FindListEntry{rm, std::move(matches), 1});
    if (list != nullptr) {
        *list = handle;
    }
    return VI_SUCCESS;
}

ViStatus ResourceManager::FindNext(ViFindList list, ViChar* descriptor) {
    std::lock_guard<std::mutex> lock(m_mutex);
    FindListEntry* entry = FindLocked<FindListEntry>(list);
    if (entry == nullptr) {
        return VI_ERROR_INV_OBJECT;
    }
    if (entry->next >= entry->matches.size()) {
        return VI_ERROR_RSRC_NFOUND;
    }
    CopyDescriptor(entry->matches[entry->next++], descriptor);
    return VI_SUCCESS;
}

ViStatus ResourceManager::Open(ViSession rm, ViConstRsrc name, ViAccessMode mode,
                               ViUInt32 openTimeoutMs, ViSession* vi) {
    if (vi != nullptr) {
        *vi = VI_NULL;
    }
    ViUInt32 managerTimeout = 2000;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const ManagerEntry* manager = FindLocked<ManagerEntry>(rm);
        if (manager == nullptr) {
            return VI_ERROR_INV_OBJECT;
        }
        managerTimeout = manager->timeoutMs;
    }
    if (vi == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    if ((mode & ~static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG)) !=
        0) {
        return VI_ERROR_INV_ACC_MODE;
    }
    if ((mode & VI_EXCLUSIVE_LOCK) != 0 && (mode & VI_SHARED_LOCK) != 0) {
        return VI_ERROR_INV_ACC_MODE;  // one lock or the other
    }
    if (name == nullptr) {
        return VI_ERROR_INV_RSRC_NAME;
    }
    std::optional<ResourceName> parsed = ResourceName::Parse(name);
    if (!parsed) {
        return VI_ERROR_INV_RSRC_NAME;
    }
    // The open timeout only bounds waiting for a lock asked for in `mode`;
    // connecting is bounded by the session timeout, which starts as the
    // VISA default.
    for (auto& provider : m_providers) {
        if (!provider->Serves(*parsed)) {
            continue;
        }
        std::unique_ptr<Session> session;
        ViStatus status = provider->Open(*parsed, managerTimeout, session);
        if (status < VI_SUCCESS) {
            return status;
        }
        ViSession opened = VI_NULL;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (FindLocked<ManagerEntry>(rm) == nullptr) {
                return VI_ERROR_INV_OBJECT;  // the manager was closed meanwhile
            }
            opened = AddLocked(SessionEntry{rm, std::move(session)});
        }
        ViAccessMode lockMode = mode & (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK);
        if (lockMode == VI_EXCLUSIVE_LOCK || lockMode == VI_SHARED_LOCK) {
            char key[VI_FIND_BUFLEN] = {};
            ViStatus locked = Lock(opened, lockMode, openTimeoutMs, VI_NULL,
                                   lockMode == VI_SHARED_LOCK ? key : nullptr);
            if (locked < VI_SUCCESS) {
                Close(opened);
                return locked;
            }
        }
        *vi = opened;
        return status;
    }
    return VI_ERROR_RSRC_NFOUND;
}

ViStatus ResourceManager::Close(ViObject object) {
    std::vector<std::pair<ViSession, std::shared_ptr<Session>>> closing;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_objects.find(object);
        if (it == m_objects.end()) {
            return VI_ERROR_INV_OBJECT;
        }
        if (std::holds_alternative<ManagerEntry>(it->second)) {
            for (auto child = m_objects.begin(); child != m_objects.end();) {
                ViSession owner = VI_NULL;
                if (auto* s = std::get_if<SessionEntry>(&child->second)) {
                    owner = s->manager;
                    if (owner == object) {
                        closing.emplace_back(child->first, std::move(s->session));
                    }
                } else if (auto* f = std::get_if<FindListEntry>(&child->second)) {
                    owner = f->manager;
                }
                child = owner == object ? m_objects.erase(child) : std::next(child);
            }
        } else if (auto* s = std::get_if<SessionEntry>(&it->second)) {
            closing.emplace_back(object, std::move(s->session));
        }
        m_objects.erase(object);
        // The instrument's own lock goes with the link when the session is
        // destroyed (VXI-11 destroy_link releases it).
        for (const auto& [handle, session] : closing) {
            m_locks.Forget(session->ResourceName(), handle);
        }
    }
    m_lockReleased.notify_all();
    // Sessions are destroyed outside the table lock; one still busy in
    // another thread is destroyed when that call returns.
    closing.clear();
    return VI_SUCCESS;
}

std::shared_ptr<Session> ResourceManager::SessionFor(ViSession vi) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const SessionEntry* entry = FindLocked<SessionEntry>(vi);
    return entry != nullptr ? entry->session : nullptr;
}

template <typename F>
ViStatus ResourceManager::WithSession(ViSession vi, F&& call) {
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const SessionEntry* entry = FindLocked<SessionEntry>(vi);
        if (entry == nullptr) {
            return VI_ERROR_INV_OBJECT;
        }
        if (!m_locks.MayAccess(entry->session->ResourceName(), vi)) {
            return VI_ERROR_RSRC_LOCKED;
        }
        session = entry->session;
    }
    std::lock_guard<std::mutex> io(session->IoMutex());
    return call(*session);
}

ViStatus ResourceManager::AbortIo(ViSession vi) {
    std::shared_ptr<Session> session = SessionFor(vi);
    if (!session) {
        return VI_ERROR_INV_OBJECT;
    }
    session->AbortIo();
    return VI_SUCCESS;
}

ViStatus ResourceManager::Write(ViSession vi, ViConstBuf data, ViUInt32 count, ViUInt32* written) {
    if (written != nullptr) {
        *written = 0;
    }
    if (data == nullptr && count > 0) {
        return SessionFor(vi) ? VI_ERROR_USER_BUF : VI_ERROR_INV_OBJECT;
    }
    return WithSession(vi, [&](Session& session) {
        ViUInt32 done = 0;
        ViStatus status = session.Write(data, count, done);
        if (written != nullptr) {
            *written = done;
        }
        return status;
    });
}

ViStatus ResourceManager::Read(ViSession vi, ViBuf data, ViUInt32 count, ViUInt32* received) {
    if (received != nullptr) {
        *received = 0;
    }
    if (data == nullptr && count > 0) {
        return SessionFor(vi) ? VI_ERROR_USER_BUF : VI_ERROR_INV_OBJECT;
    }
    return WithSession(vi, [&](Session& session) {
        ViUInt32 done = 0;
        ViStatus status = session.Read(data, count, done);
        if (received != nullptr) {
            *received = done;
        }
        return status;
    });
}

ViStatus ResourceManager::SetAttribute(ViObject object, ViAttr attribute, ViAttrState value) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (auto* manager = FindLocked<ManagerEntry>(object)) {
            if (attribute != VI_ATTR_TMO_VALUE) {
                return VI_ERROR_NSUP_ATTR;
            }
            manager->timeoutMs = static_cast<ViUInt32>(value);
            return VI_SUCCESS;
        }
        if (FindLocked<FindListEntry>(object) != nullptr) {
            return VI_ERROR_NSUP_ATTR;
        }
        if (attribute == VI_ATTR_RSRC_LOCK_STATE && FindLocked<SessionEntry>(object) != nullptr) {
            return VI_ERROR_ATTR_READONLY;
        }
    }
    return WithSession(object,
                       [&](Session& session) { return session.SetAttribute(attribute, value); });
}

ViStatus ResourceManager::GetAttribute(ViObject object, ViAttr attribute, void* value) {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (const auto* manager = FindLocked<ManagerEntry>(object)) {
            if (attribute != VI_ATTR_TMO_VALUE) {
                return VI_ERROR_NSUP_ATTR;
            }
            *static_cast<ViUInt32*>(value) = manager->timeoutMs;
            return VI_SUCCESS;
        }
        if (FindLocked<FindListEntry>(object) != nullptr) {
            return VI_ERROR_NSUP_ATTR;
        }
        if (const auto* entry = FindLocked<SessionEntry>(object)) {
            if (attribute == VI_ATTR_RSRC_LOCK_STATE) {
                *static_cast<ViAccessMode*>(value) = m_locks.State(entry->session->ResourceName());
                return VI_SUCCESS;
            }
            if (attribute == VI_ATTR_RM_SESSION) {
                *static_cast<ViSession*>(value) = entry->manager;
                return VI_SUCCESS;
            }
        }
    }
    // Reading attributes is allowed whoever holds a lock.
    std::shared_ptr<Session> session = SessionFor(object);
    if (!session) {
        return VI_ERROR_INV_OBJECT;
    }
    std::lock_guard<std::mutex> io(session->IoMutex());
    return session->GetAttribute(attribute, value);
}

ViStatus ResourceManager::ParseRsrc(ViSession rm, ViConstRsrc name, ViUInt16* interfaceType,
                                    ViUInt16* interfaceNumber, ViChar* resourceClass,
                                    ViChar* expandedName, ViChar* alias) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (FindLocked<ManagerEntry>(rm) == nullptr) {
            return VI_ERROR_INV_OBJECT;
        }
    }
    if (name == nullptr) {
        return VI_ERROR_INV_RSRC_NAME;
    }
    std::optional<ResourceName> parsed = ResourceName::Parse(name);
    if (!parsed) {
        return VI_ERROR_INV_RSRC_NAME;
    }
    if (interfaceType != nullptr) {
        *interfaceType = parsed->kind == InterfaceKind::Tcpip ? VI_INTF_TCPIP : VI_INTF_USB;
    }
    if (interfaceNumber != nullptr) {
        *interfaceNumber = static_cast<ViUInt16>(parsed->board);
    }
    if (resourceClass != nullptr) {
        CopyVisaString(parsed->resourceClass == ResourceClass::Socket ? "SOCKET" : "INSTR",
                       resourceClass);
    }
    if (expandedName != nullptr) {
        CopyVisaString(parsed->Canonical(), expandedName);
    }
    if (alias != nullptr) {
        alias[0] = '\0';  // no aliases are configured
    }
    return VI_SUCCESS;
}

ViStatus ResourceManager::Clear(ViSession vi) {
    return WithSession(vi, [](Session& session) { return session.Clear(); });
}

ViStatus ResourceManager::ReadStb(ViSession vi, ViUInt16* status) {
    if (status == nullptr) {
        return SessionFor(vi) ? VI_ERROR_INV_PARAMETER : VI_ERROR_INV_OBJECT;
    }
    *status = 0;
    return WithSession(vi, [&](Session& session) { return session.ReadStatusByte(*status); });
}

ViStatus ResourceManager::AssertTrigger(ViSession vi, ViUInt16 protocol) {
    return WithSession(vi, [&](Session& session) {
        return protocol == VI_TRIG_PROT_DEFAULT ? session.AssertTrigger() : VI_ERROR_INV_PROT;
    });
}

ViStatus ResourceManager::Flush(ViSession vi, ViUInt16 mask) {
    constexpr ViUInt16 kKnown = VI_READ_BUF | VI_READ_BUF_DISCARD | VI_WRITE_BUF |
                                VI_WRITE_BUF_DISCARD | VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD |
                                VI_IO_OUT_BUF | VI_IO_OUT_BUF_DISCARD;
    auto both = [mask](ViUInt16 a, ViUInt16 b) { return (mask & a) != 0 && (mask & b) != 0; };
    if (mask == 0 || (mask & ~kKnown) != 0 || both(VI_READ_BUF, VI_READ_BUF_DISCARD) ||
        both(VI_WRITE_BUF, VI_WRITE_BUF_DISCARD) || both(VI_IO_IN_BUF, VI_IO_IN_BUF_DISCARD) ||
        both(VI_IO_OUT_BUF, VI_IO_OUT_BUF_DISCARD)) {
        return SessionFor(vi) ? VI_ERROR_INV_MASK : VI_ERROR_INV_OBJECT;
    }
    return WithSession(vi, [&](Session& session) {
        // Writes are not buffered here; received input is dropped.
        if ((mask & (VI_READ_BUF | VI_READ_BUF_DISCARD | VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD)) !=
            0) {
            session.DiscardInput();
        }
        return VI_SUCCESS;
    });
}

ViStatus ResourceManager::SetBuf(ViSession vi, ViUInt16 mask, ViUInt32 /*size*/) {
    constexpr ViUInt16 kKnown = VI_READ_BUF | VI_WRITE_BUF | VI_IO_IN_BUF | VI_IO_OUT_BUF;
    if (mask == 0 || (mask & ~kKnown) != 0) {
        return SessionFor(vi) ? VI_ERROR_INV_MASK : VI_ERROR_INV_OBJECT;
    }
    // No formatted or low-level I/O buffer of a settable size exists here.
    return WithSession(vi, [](Session&) { return VI_WARN_NSUP_BUF; });
}

ViStatus ResourceManager::Lock(ViSession vi, ViAccessMode type, ViUInt32 timeoutMs,
                               ViConstString requestedKey, ViChar* accessKey) {
    if (type != VI_EXCLUSIVE_LOCK && type != VI_SHARED_LOCK) {
        return SessionFor(vi) ? VI_ERROR_INV_LOCK_TYPE : VI_ERROR_INV_OBJECT;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    const SessionEntry* entry = FindLocked<SessionEntry>(vi);
    if (entry == nullptr) {
        return VI_ERROR_INV_OBJECT;
    }
    std::shared_ptr<Session> session = entry->session;
    const std::string resource = session->ResourceName();
    std::string key = type == VI_SHARED_LOCK && requestedKey != nullptr ? requestedKey : "";
    DeadlineClock::time_point deadline = DeadlineAfter(timeoutMs);
    ViStatus status = VI_SUCCESS;
    bool first = false;
    for (;;) {
        if (FindLocked<SessionEntry>(vi) == nullptr) {
            return VI_ERROR_INV_OBJECT;  // closed while waiting
        }
        LockTable::Try outcome = type == VI_EXCLUSIVE_LOCK
                                     ? m_locks.TryExclusive(resource, vi, status, first)
                                     : m_locks.TryShared(resource, vi, key, status);
        if (outcome == LockTable::Try::Granted) {
            break;
        }
        if (outcome == LockTable::Try::WrongKey) {
            return VI_ERROR_INV_ACCESS_KEY;
        }
        if (Expired(deadline)) {
            return VI_ERROR_RSRC_LOCKED;
        }
        if (IsInfinite(deadline)) {
            m_lockReleased.wait(lock);
        } else {
            m_lockReleased.wait_until(lock, deadline);
        }
    }
    lock.unlock();
    if (type == VI_SHARED_LOCK && accessKey != nullptr) {
        CopyVisaString(key, accessKey);
    }
    if (first) {
        // Other clients of the instrument wait for our lock as well.
        std::lock_guard<std::mutex> io(session->IoMutex());
        ViStatus device = session->LockDevice(timeoutMs);
        if (device < VI_SUCCESS) {
            bool releasedExclusive = false;
            {
                std::lock_guard<std::mutex> relock(m_mutex);
                m_locks.Unlock(resource, vi, releasedExclusive);
            }
            m_lockReleased.notify_all();
            return device;
        }
    }
    return status;
}

ViStatus ResourceManager::Unlock(ViSession vi) {
    std::shared_ptr<Session> session;
    ViStatus status = VI_SUCCESS;
    bool releasedExclusive = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const SessionEntry* entry = FindLocked<SessionEntry>(vi);
        if (entry == nullptr) {
            return VI_ERROR_INV_OBJECT;
        }
        session = entry->session;
        status = m_locks.Unlock(session->ResourceName(), vi, releasedExclusive);
    }
    m_lockReleased.notify_all();
    if (releasedExclusive) {
        std::lock_guard<std::mutex> io(session->IoMutex());
        ViStatus device = session->UnlockDevice();
        if (device < VI_SUCCESS) {
            return device;
        }
    }
    return status;
}

ViStatus ResourceManager::CheckEventArguments(ViSession vi, ViUInt32 eventType,
                                              ViUInt16 mechanism) {
    if (!SessionFor(vi)) {
        return VI_ERROR_INV_OBJECT;
    }
    constexpr ViUInt16 kMechanisms = VI_QUEUE | VI_HNDLR | VI_SUSPEND_HNDLR;
    if (mechanism == 0 || (mechanism != VI_ALL_MECH && (mechanism & ~kMechanisms) != 0)) {
        return VI_ERROR_INV_MECH;
    }
    return eventType == VI_ALL_ENABLED_EVENTS ? VI_SUCCESS : VI_ERROR_INV_EVENT;
}

ViStatus ResourceManager::EnableEvent(ViSession vi, ViUInt32 eventType, ViUInt16 mechanism) {
    if (!SessionFor(vi)) {
        return VI_ERROR_INV_OBJECT;
    }
    // No event is ever raised here, so none can be enabled.
    (void)eventType;
    (void)mechanism;
    return VI_ERROR_INV_EVENT;
}

ViStatus ResourceManager::DisableEvent(ViSession vi, ViUInt32 eventType, ViUInt16 mechanism) {
    ViStatus status = CheckEventArguments(vi, eventType, mechanism);
    return status == VI_SUCCESS ? VI_SUCCESS_EVENT_DIS : status;
}

ViStatus ResourceManager::DiscardEvents(ViSession vi, ViUInt32 eventType, ViUInt16 mechanism) {
    ViStatus status = CheckEventArguments(vi, eventType, mechanism);
    return status == VI_SUCCESS ? VI_SUCCESS_QUEUE_EMPTY : status;
}

}  // namespace kvt::visa
