#include "visa/MdnsBrowser.h"

#include <algorithm>
#include <iterator>

#include "visa/AvahiLibrary.h"

namespace kvt::visa {
namespace {

constexpr int kBrowserCount = static_cast<int>(std::size(MdnsBrowser::kServiceTypes));

// One browse's state, handed to Avahi's callbacks as their user data.
struct BrowseState {
    const AvahiLibrary* avahi = nullptr;
    AvahiClient* client = nullptr;
    bool failed = false;
    int browsersDone = 0;  // told all for now, or failed
    int resolving = 0;
    std::vector<MdnsService> found;

    bool Done() const { return failed || (browsersDone == kBrowserCount && resolving == 0); }
};

void OnClientState(AvahiClient* /*client*/, AvahiClientState state, void* data) {
    if (state == AVAHI_CLIENT_FAILURE) {
        static_cast<BrowseState*>(data)->failed = true;
    }
}

void OnResolved(AvahiServiceResolver* resolver, AvahiIfIndex /*interface*/,
                AvahiProtocol /*protocol*/, AvahiResolverEvent event, const char* /*name*/,
                const char* type, const char* /*domain*/, const char* /*hostName*/,
                const AvahiAddress* address, uint16_t port, AvahiStringList* /*txt*/,
                AvahiLookupResultFlags /*flags*/, void* data) {
    auto* state = static_cast<BrowseState*>(data);
    if (event == AVAHI_RESOLVER_FOUND && address != nullptr && type != nullptr &&
        address->proto == AVAHI_PROTO_INET) {
        char text[AVAHI_ADDRESS_STR_MAX] = {};
        state->avahi->addressSnprint(text, sizeof(text), address);
        state->found.push_back(MdnsService{type, text, port});
    }
    state->avahi->serviceResolverFree(resolver);
    --state->resolving;
}

void OnBrowsed(AvahiServiceBrowser* /*browser*/, AvahiIfIndex interface, AvahiProtocol protocol,
               AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
               AvahiLookupResultFlags /*flags*/, void* data) {
    auto* state = static_cast<BrowseState*>(data);
    switch (event) {
        case AVAHI_BROWSER_NEW:
            if (state->avahi->serviceResolverNew(state->client, interface, protocol, name, type,
                                                 domain, AVAHI_PROTO_INET, AvahiLookupFlags(0),
                                                 OnResolved, state) != nullptr) {
                ++state->resolving;
            }
            break;
        case AVAHI_BROWSER_ALL_FOR_NOW:
        case AVAHI_BROWSER_FAILURE:
            ++state->browsersDone;
            break;
        default:
            break;
    }
}

int RemainingMs(MdnsBrowser::Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - MdnsBrowser::Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

}  // namespace

bool MdnsBrowser::Available() {
    return AvahiLibrary::Get() != nullptr;
}

std::vector<MdnsService> MdnsBrowser::Browse(Clock::time_point deadline) {
    BrowseState state;
    state.avahi = AvahiLibrary::Get();
    if (state.avahi == nullptr) {
        return {};
    }
    const AvahiLibrary& avahi = *state.avahi;
    AvahiSimplePoll* poll = avahi.simplePollNew();
    if (poll == nullptr) {
        return {};
    }
    int error = 0;
    // Fails at once, with AVAHI_ERR_NO_DAEMON or the like, where no daemon runs.
    state.client = avahi.clientNew(avahi.simplePollGet(poll), AvahiClientFlags(0), OnClientState,
                                   &state, &error);
    if (state.client != nullptr) {
        for (const char* type : kServiceTypes) {
            if (avahi.serviceBrowserNew(state.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, type,
                                        nullptr, AvahiLookupFlags(0), OnBrowsed,
                                        &state) == nullptr) {
                ++state.browsersDone;
            }
        }
        while (!state.Done()) {
            int waitMs = RemainingMs(deadline);
            if (waitMs == 0 || avahi.simplePollIterate(poll, waitMs) != 0) {
                break;
            }
        }
        // Frees the browsers and the resolvers still at work with it.
        avahi.clientFree(state.client);
    }
    avahi.simplePollFree(poll);
    return std::move(state.found);
}

}  // namespace kvt::visa
