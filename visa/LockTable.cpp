#include "visa/LockTable.h"

namespace kvt::visa {

LockTable::Try LockTable::TryExclusive(const std::string& resource, ViSession session,
                                       ViStatus& status, bool& first) {
    Entry& e = m_locks[resource];
    first = false;
    if (e.exclusiveOwner == session) {
        ++e.exclusiveDepth;
        status = VI_SUCCESS_NESTED_EXCLUSIVE;
        return Try::Granted;
    }
    // A session that shares the lock may raise it to an exclusive one.
    bool othersShare =
        !e.sharedDepth.empty() && (e.sharedDepth.size() > 1 || e.sharedDepth.count(session) == 0);
    if (e.exclusiveOwner != VI_NULL || othersShare) {
        return Try::Busy;
    }
    e.exclusiveOwner = session;
    e.exclusiveDepth = 1;
    first = true;
    status = VI_SUCCESS;
    return Try::Granted;
}

LockTable::Try LockTable::TryShared(const std::string& resource, ViSession session,
                                    std::string& key, ViStatus& status) {
    Entry& e = m_locks[resource];
    auto held = e.sharedDepth.find(session);
    if (held != e.sharedDepth.end()) {
        ++held->second;
        key = e.sharedKey;
        status = VI_SUCCESS_NESTED_SHARED;
        return Try::Granted;
    }
    if (e.exclusiveOwner != VI_NULL && e.exclusiveOwner != session) {
        return Try::Busy;
    }
    if (!e.sharedDepth.empty()) {
        if (key != e.sharedKey) {
            return key.empty() ? Try::Busy : Try::WrongKey;
        }
    } else {
        e.sharedKey = key.empty() ? "korvata-lock-" + std::to_string(m_nextKey++) : key;
    }
    e.sharedDepth[session] = 1;
    key = e.sharedKey;
    status = VI_SUCCESS;
    return Try::Granted;
}

ViStatus LockTable::Unlock(const std::string& resource, ViSession session,
                           bool& releasedExclusive) {
    releasedExclusive = false;
    auto it = m_locks.find(resource);
    if (it == m_locks.end()) {
        return VI_ERROR_SESN_NLOCKED;
    }
    Entry& e = it->second;
    auto shared = e.sharedDepth.find(session);
    if (e.exclusiveOwner == session) {
        if (--e.exclusiveDepth == 0) {
            e.exclusiveOwner = VI_NULL;
            releasedExclusive = true;
        }
    } else if (shared != e.sharedDepth.end()) {
        if (--shared->second == 0) {
            e.sharedDepth.erase(shared);
            shared = e.sharedDepth.end();
        }
    } else {
        return VI_ERROR_SESN_NLOCKED;
    }
    ViStatus status = VI_SUCCESS;
    if (e.exclusiveOwner == session) {
        status = VI_SUCCESS_NESTED_EXCLUSIVE;
    } else if (e.sharedDepth.count(session) != 0) {
        status = VI_SUCCESS_NESTED_SHARED;
    }
    if (e.exclusiveOwner == VI_NULL && e.sharedDepth.empty()) {
        m_locks.erase(it);
    }
    return status;
}

void LockTable::Forget(const std::string& resource, ViSession session) {
    auto it = m_locks.find(resource);
    if (it == m_locks.end()) {
        return;
    }
    Entry& e = it->second;
    if (e.exclusiveOwner == session) {
        e.exclusiveOwner = VI_NULL;
        e.exclusiveDepth = 0;
    }
    e.sharedDepth.erase(session);
    if (e.exclusiveOwner == VI_NULL && e.sharedDepth.empty()) {
        m_locks.erase(it);
    }
}

bool LockTable::MayAccess(const std::string& resource, ViSession session) const {
    auto it = m_locks.find(resource);
    if (it == m_locks.end()) {
        return true;
    }
    const Entry& e = it->second;
    if (e.exclusiveOwner != VI_NULL) {
        return e.exclusiveOwner == session;
    }
    return e.sharedDepth.empty() || e.sharedDepth.count(session) != 0;
}

ViAccessMode LockTable::State(const std::string& resource) const {
    auto it = m_locks.find(resource);
    if (it == m_locks.end()) {
        return VI_NO_LOCK;
    }
    return it->second.exclusiveOwner != VI_NULL ? VI_EXCLUSIVE_LOCK : VI_SHARED_LOCK;
}

}  // namespace kvt::visa
