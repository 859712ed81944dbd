#pragma once

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/address.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/simple-watch.h>
#include <avahi-common/thread-watch.h>

#include <string>

namespace kvt::visa {

// The calls of Avahi's client library that multicast DNS needs, loaded at
// run time: a machine without Avahi runs everything else as before, and
// neither the VISA library nor the simulator depends on it when linked.
// Avahi's headers give only the types here; nothing is linked against.
struct AvahiLibrary {
    // libavahi-common
    decltype(&avahi_simple_poll_new) simplePollNew;
    decltype(&avahi_simple_poll_get) simplePollGet;
    decltype(&avahi_simple_poll_iterate) simplePollIterate;
    decltype(&avahi_simple_poll_free) simplePollFree;
    decltype(&avahi_threaded_poll_new) threadedPollNew;
    decltype(&avahi_threaded_poll_get) threadedPollGet;
    decltype(&avahi_threaded_poll_start) threadedPollStart;
    decltype(&avahi_threaded_poll_stop) threadedPollStop;
    decltype(&avahi_threaded_poll_lock) threadedPollLock;
    decltype(&avahi_threaded_poll_unlock) threadedPollUnlock;
    decltype(&avahi_threaded_poll_free) threadedPollFree;
    decltype(&avahi_address_snprint) addressSnprint;
    decltype(&avahi_alternative_service_name) alternativeServiceName;
    decltype(&avahi_free) free;
    decltype(&avahi_strerror) strerror;
    // libavahi-client
    decltype(&avahi_client_new) clientNew;
    decltype(&avahi_client_free) clientFree;
    decltype(&avahi_client_errno) clientErrno;
    decltype(&avahi_service_browser_new) serviceBrowserNew;
    decltype(&avahi_service_resolver_new) serviceResolverNew;
    decltype(&avahi_service_resolver_free) serviceResolverFree;
    decltype(&avahi_entry_group_new) entryGroupNew;
    decltype(&avahi_entry_group_add_service) entryGroupAddService;
    decltype(&avahi_entry_group_commit) entryGroupCommit;
    decltype(&avahi_entry_group_reset) entryGroupReset;

    // The installed libavahi-client.so.3 (and libavahi-common.so.3), loaded
    // on the first call and kept for the life of the process; nullptr when
    // either is missing or lacks a call (LoadError() says which).
    static const AvahiLibrary* Get();
    static std::string LoadError();

    // Loads the two libraries by these names into `library`; on failure
    // returns false and names the missing file or call in `error`.
    static bool Load(const char* commonName, const char* clientName, AvahiLibrary& library,
                     std::string& error);
};

}  // namespace kvt::visa
