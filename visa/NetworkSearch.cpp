#include "visa/NetworkSearch.h"

#include <arpa/inet.h>

#include <future>
#include <optional>
#include <thread>

#include "visa/MdnsBrowser.h"
#include "visa/NetworkResourceNames.h"
#include "visa/PortmapperBroadcast.h"

namespace kvt::visa {

std::vector<std::string> NetworkSearch::Run(const Plan& plan) {
    const Clock::time_point deadline = Clock::now() + kMdnsWindow;
    std::future<std::vector<MdnsService>> browsed;
    if (plan.browse) {
        std::promise<std::vector<MdnsService>> promise;
        browsed = promise.get_future();
        // Detached, so that a browse that hangs in the daemon's connection
        // cannot hold the search; the promise's shared state outlives it.
        std::thread([promise = std::move(promise), deadline]() mutable {
            promise.set_value(MdnsBrowser::Browse(deadline));
        }).detach();
    }
    std::vector<std::string> names;
    for (in_addr found : PortmapperBroadcast::Search(plan.broadcastTargets)) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &found, text, sizeof(text));
        names.push_back(std::string("TCPIP0::") + text + "::inst0::INSTR");
    }
    if (browsed.valid() && browsed.wait_until(deadline + kGrace) == std::future_status::ready) {
        for (const MdnsService& service : browsed.get()) {
            if (std::optional<std::string> name = NetworkResourceNames::Of(service)) {
                names.push_back(std::move(*name));
            }
        }
    }
    return NetworkResourceNames::Merge(std::move(names));
}

}  // namespace kvt::visa
