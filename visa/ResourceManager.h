#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "visa/InterfaceProvider.h"
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

    std::shared_ptr<Session> SessionFor(ViSession vi);
    ViObject AddLocked(Entry entry);

    std::vector<std::unique_ptr<InterfaceProvider>> providers_;
    std::mutex mutex_;
    ViObject nextHandle_ = 1;
    std::map<ViObject, Entry> objects_;
};

// Every interface of the built-in layer, in the order they are asked.
std::vector<std::unique_ptr<InterfaceProvider>> CreateInterfaceProviders();

}  // namespace kvt::visa
