#include "visa/AvahiLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace kvt::visa {
namespace {

// Resolves `name` in `handle` into `function`; false when it is missing.
template <typename Function>
bool Resolve(void* handle, const char* name, Function& function, std::string& error) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        error = std::string("no ") + name;
        return false;
    }
    function = reinterpret_cast<Function>(symbol);
    return true;
}

void* Open(const char* name, std::string& error) {
    // RTLD_LOCAL: Avahi's names stay out of the process's global scope.
    void* handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : std::string("cannot load ") + name;
    }
    return handle;
}

}  // namespace

bool AvahiLibrary::Load(const char* commonName, const char* clientName, AvahiLibrary& library,
                        std::string& error) {
    void* common = Open(commonName, error);
    if (common == nullptr) {
        return false;
    }
    void* client = Open(clientName, error);
    if (client == nullptr) {
        ::dlclose(common);
        return false;
    }
    AvahiLibrary& l = library;
    bool ok = Resolve(common, "avahi_simple_poll_new", l.simplePollNew, error) &&
              Resolve(common, "avahi_simple_poll_get", l.simplePollGet, error) &&
              Resolve(common, "avahi_simple_poll_iterate", l.simplePollIterate, error) &&
              Resolve(common, "avahi_simple_poll_free", l.simplePollFree, error) &&
              Resolve(common, "avahi_threaded_poll_new", l.threadedPollNew, error) &&
              Resolve(common, "avahi_threaded_poll_get", l.threadedPollGet, error) &&
              Resolve(common, "avahi_threaded_poll_start", l.threadedPollStart, error) &&
              Resolve(common, "avahi_threaded_poll_stop", l.threadedPollStop, error) &&
              Resolve(common, "avahi_threaded_poll_lock", l.threadedPollLock, error) &&
              Resolve(common, "avahi_threaded_poll_unlock", l.threadedPollUnlock, error) &&
              Resolve(common, "avahi_threaded_poll_free", l.threadedPollFree, error) &&
              Resolve(common, "avahi_address_snprint", l.addressSnprint, error) &&
              Resolve(common, "avahi_alternative_service_name", l.alternativeServiceName, error) &&
              Resolve(common, "avahi_free", l.free, error) &&
              Resolve(common, "avahi_strerror", l.strerror, error) &&
              Resolve(client, "avahi_client_new", l.clientNew, error) &&
              Resolve(client, "avahi_client_free", l.clientFree, error) &&
              Resolve(client, "avahi_client_errno", l.clientErrno, error) &&
              Resolve(client, "avahi_service_browser_new", l.serviceBrowserNew, error) &&
              Resolve(client, "avahi_service_resolver_new", l.serviceResolverNew, error) &&
              Resolve(client, "avahi_service_resolver_free", l.serviceResolverFree, error) &&
              Resolve(client, "avahi_entry_group_new", l.entryGroupNew, error) &&
              Resolve(client, "avahi_entry_group_add_service", l.entryGroupAddService, error) &&
              Resolve(client, "avahi_entry_group_commit", l.entryGroupCommit, error) &&
              Resolve(client, "avahi_entry_group_reset", l.entryGroupReset, error);
    if (!ok) {
        ::dlclose(client);
        ::dlclose(common);
    }
    // On success both stay loaded: the calls are used for the life of the
    // process, and threads that browse may outlive a caller's wait.
    return ok;
}

namespace {

struct Loaded {
    AvahiLibrary library{};
    bool ok = false;
    std::string error;
};

const Loaded& LoadOnce() {
    static std::once_flag once;
    // Never destroyed: a browse that a caller stopped waiting for may still
    // be finishing while the process exits.
    static Loaded* loaded = nullptr;
    std::call_once(once, [] {
        loaded = new Loaded;
        loaded->ok = AvahiLibrary::Load("libavahi-common.so.3", "libavahi-client.so.3",
                                        loaded->library, loaded->error);
    });
    return *loaded;
}

}  // namespace

const AvahiLibrary* AvahiLibrary::Get() {
    const Loaded& loaded = LoadOnce();
    return loaded.ok ? &loaded.library : nullptr;
}

std::string AvahiLibrary::LoadError() {
    return LoadOnce().error;
}

}  // namespace kvt::visa
