#include "visa/ResourceManager.h"

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
    : providers_(std::move(providers)) {}

ResourceManager& ResourceManager::Instance() {
    // Never destroyed: sessions may still be closed from other static destructors.
    static ResourceManager* instance = new ResourceManager(CreateInterfaceProviders());
    return *instance;
}

ViObject ResourceManager::AddLocked(Entry entry) {
    ViObject handle = nextHandle_++;
    objects_.emplace(handle, std::move(entry));
    return handle;
}

ViStatus ResourceManager::OpenDefaultRM(ViSession* vi) {
    if (vi == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(mutex_);
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
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(rm);
        if (it == objects_.end() || !std::holds_alternative<ManagerEntry>(it->second)) {
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
    for (auto& provider : providers_) {
        for (std::string& name : provider->ListResources()) {
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
    std::lock_guard<std::mutex> lock(mutex_);
    if (objects_.find(rm) == objects_.end()) {
        return VI_ERROR_INV_OBJECT;  // closed meanwhile
    }
    ViObject handle = AddLocked(FindListEntry{rm, std::move(matches), 1});
    if (list != nullptr) {
        *list = handle;
    }
    return VI_SUCCESS;
}

ViStatus ResourceManager::FindNext(ViFindList list, ViChar* descriptor) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = objects_.find(list);
    if (it == objects_.end() || !std::holds_alternative<FindListEntry>(it->second)) {
        return VI_ERROR_INV_OBJECT;
    }
    auto& entry = std::get<FindListEntry>(it->second);
    if (entry.next >= entry.matches.size()) {
        return VI_ERROR_RSRC_NFOUND;
    }
    CopyDescriptor(entry.matches[entry.next++], descriptor);
    return VI_SUCCESS;
}

ViStatus ResourceManager::Open(ViSession rm, ViConstRsrc name, ViAccessMode mode,
                               ViUInt32 openTimeoutMs, ViSession* vi) {
    if (vi != nullptr) {
        *vi = VI_NULL;
    }
    ViUInt32 managerTimeout = 2000;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(rm);
        if (it == objects_.end() || !std::holds_alternative<ManagerEntry>(it->second)) {
            return VI_ERROR_INV_OBJECT;
        }
        managerTimeout = std::get<ManagerEntry>(it->second).timeoutMs;
    }
    if (vi == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    if ((mode & ~static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG)) !=
        0) {
        return VI_ERROR_INV_ACC_MODE;
    }
    if (name == nullptr) {
        return VI_ERROR_INV_RSRC_NAME;
    }
    std::optional<ResourceName> parsed = ResourceName::Parse(name);
    if (!parsed) {
        return VI_ERROR_INV_RSRC_NAME;
    }
    // The open timeout only bounds waiting for a lock; connecting is bounded
    // by the session timeout, which starts as the VISA default.
    (void)openTimeoutMs;
    for (auto& provider : providers_) {
        if (!provider->Serves(*parsed)) {
            continue;
        }
        std::unique_ptr<Session> session;
        ViStatus status = provider->Open(*parsed, managerTimeout, session);
        if (status < VI_SUCCESS) {
            return status;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (objects_.find(rm) == objects_.end()) {
            return VI_ERROR_INV_OBJECT;  // the manager was closed meanwhile
        }
        *vi = AddLocked(SessionEntry{rm, std::move(session)});
        return status;
    }
    return VI_ERROR_RSRC_NFOUND;
}

ViStatus ResourceManager::Close(ViObject object) {
    std::vector<std::shared_ptr<Session>> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(object);
        if (it == objects_.end()) {
            return VI_ERROR_INV_OBJECT;
        }
        if (std::holds_alternative<ManagerEntry>(it->second)) {
            for (auto child = objects_.begin(); child != objects_.end();) {
                ViSession owner = VI_NULL;
                if (auto* s = std::get_if<SessionEntry>(&child->second)) {
                    owner = s->manager;
                    if (owner == object) {
                        closing.push_back(std::move(s->session));
                    }
                } else if (auto* f = std::get_if<FindListEntry>(&child->second)) {
                    owner = f->manager;
                }
                child = owner == object ? objects_.erase(child) : std::next(child);
            }
        } else if (auto* s = std::get_if<SessionEntry>(&it->second)) {
            closing.push_back(std::move(s->session));
        }
        objects_.erase(object);
    }
    // Sessions are destroyed outside the table lock; one still busy in
    // another thread is destroyed when that call returns.
    closing.clear();
    return VI_SUCCESS;
}

std::shared_ptr<Session> ResourceManager::SessionFor(ViSession vi) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = objects_.find(vi);
    if (it == objects_.end()) {
        return nullptr;
    }
    auto* entry = std::get_if<SessionEntry>(&it->second);
    return entry != nullptr ? entry->session : nullptr;
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
    std::shared_ptr<Session> session = SessionFor(vi);
    if (!session) {
        return VI_ERROR_INV_OBJECT;
    }
    if (data == nullptr && count > 0) {
        return VI_ERROR_USER_BUF;
    }
    std::lock_guard<std::mutex> io(session->IoMutex());
    ViUInt32 done = 0;
    ViStatus status = session->Write(data, count, done);
    if (written != nullptr) {
        *written = done;
    }
    return status;
}

ViStatus ResourceManager::Read(ViSession vi, ViBuf data, ViUInt32 count, ViUInt32* received) {
    if (received != nullptr) {
        *received = 0;
    }
    std::shared_ptr<Session> session = SessionFor(vi);
    if (!session) {
        return VI_ERROR_INV_OBJECT;
    }
    if (data == nullptr && count > 0) {
        return VI_ERROR_USER_BUF;
    }
    std::lock_guard<std::mutex> io(session->IoMutex());
    ViUInt32 done = 0;
    ViStatus status = session->Read(data, count, done);
    if (received != nullptr) {
        *received = done;
    }
    return status;
}

ViStatus ResourceManager::SetAttribute(ViObject object, ViAttr attribute, ViAttrState value) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(object);
        if (it == objects_.end()) {
            return VI_ERROR_INV_OBJECT;
        }
        if (auto* manager = std::get_if<ManagerEntry>(&it->second)) {
            if (attribute != VI_ATTR_TMO_VALUE) {
                return VI_ERROR_NSUP_ATTR;
            }
            manager->timeoutMs = static_cast<ViUInt32>(value);
            return VI_SUCCESS;
        }
        if (std::holds_alternative<FindListEntry>(it->second)) {
            return VI_ERROR_NSUP_ATTR;
        }
    }
    std::shared_ptr<Session> session = SessionFor(object);
    if (!session) {
        return VI_ERROR_INV_OBJECT;
    }
    std::lock_guard<std::mutex> io(session->IoMutex());
    return session->SetAttribute(attribute, value);
}

ViStatus ResourceManager::GetAttribute(ViObject object, ViAttr attribute, void* value) {
    if (value == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(object);
        if (it == objects_.end()) {
            return VI_ERROR_INV_OBJECT;
        }
        if (auto* manager = std::get_if<ManagerEntry>(&it->second)) {
            if (attribute != VI_ATTR_TMO_VALUE) {
                return VI_ERROR_NSUP_ATTR;
            }
            *static_cast<ViUInt32*>(value) = manager->timeoutMs;
            return VI_SUCCESS;
        }
        if (std::holds_alternative<FindListEntry>(it->second)) {
            return VI_ERROR_NSUP_ATTR;
        }
    }
    std::shared_ptr<Session> session = SessionFor(object);
    if (!session) {
        return VI_ERROR_INV_OBJECT;
    }
    std::lock_guard<std::mutex> io(session->IoMutex());
    return session->GetAttribute(attribute, value);
}

}  // namespace kvt::visa
