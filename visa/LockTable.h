#pragma once

#include <map>
#include <string>

#include "visa/visa.h"

namespace kvt::visa {

// Who holds which VISA lock on each resource of the process: at most one
// session holds an exclusive lock; sessions that give the same key share a
// shared lock. Locks nest per session. Not thread-safe: the resource
// manager calls it under its table lock.
class LockTable {
public:
    // Outcome of one try: granted (VI_SUCCESS or a nested status), or why not.
    enum class Try { Granted, Busy, WrongKey };

    // Tries to give `session` an exclusive lock on `resource`. On success
    // `status` is VI_SUCCESS, or VI_SUCCESS_NESTED_EXCLUSIVE when the
    // session held one already; `first` tells whether it is new.
    Try TryExclusive(const std::string& resource, ViSession session, ViStatus& status, bool& first);
    // Tries to give `session` a shared lock with `key` (empty: a new key is
    // made). `key` is set to the lock's key when granted.
    Try TryShared(const std::string& resource, ViSession session, std::string& key,
                  ViStatus& status);

    // Releases the session's most recent lock kind (exclusive first).
    // VI_ERROR_SESN_NLOCKED when it holds none; `releasedExclusive` tells
    // whether its exclusive lock is now gone entirely.
    ViStatus Unlock(const std::string& resource, ViSession session, bool& releasedExclusive);

    // Drops every lock of a closing session.
    void Forget(const std::string& resource, ViSession session);

    // Whether `session` may use the resource now.
    bool MayAccess(const std::string& resource, ViSession session) const;

    // VI_NO_LOCK, VI_EXCLUSIVE_LOCK or VI_SHARED_LOCK.
    ViAccessMode State(const std::string& resource) const;

private:
    struct Entry {
        ViSession exclusiveOwner = VI_NULL;
        unsigned exclusiveDepth = 0;
        std::string sharedKey;
        std::map<ViSession, unsigned> sharedDepth;
    };

    std::map<std::string, Entry> m_locks;
    unsigned m_nextKey = 1;
};

}  // namespace kvt::visa
