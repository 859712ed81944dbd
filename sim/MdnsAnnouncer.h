#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "visa/AvahiLibrary.h"

namespace kvt::sim {

// Announces the simulator's services by multicast DNS through the Avahi
// daemon, as a networked instrument does: under one service name, chosen
// anew (" #2" and so on) when another instrument on the network has it.
// Avahi's library is loaded at run time; without it, or without a running
// daemon, Start() says why and nothing is announced.
class MdnsAnnouncer {
public:
    struct Service {
        std::string type;  // "_scpi-raw._tcp"
        uint16_t port = 0;

        bool operator==(const Service&) const = default;
    };

    // What a simulator serving the raw socket on `socketPort` announces, and
    // with VXI-11, `_vxi-11._tcp` on its portmapper's port (111 where it is
    // registered with rpcbind), where an LXI client looks for it. `_lxi._tcp`
    // is not announced: it names an instrument's web interface on port 80,
    // which the simulator does not serve.
    static std::vector<Service> ServicesOf(uint16_t socketPort,
                                           std::optional<uint16_t> vxi11PortmapperPort);

    // "Korvata simulated meter (SERIAL)", the serial taken from the
    // instrument's *IDN? answer ("maker,model,serial,firmware").
    static std::string ServiceName(std::string_view identity);

    MdnsAnnouncer() = default;
    MdnsAnnouncer(const MdnsAnnouncer&) = delete;
    MdnsAnnouncer& operator=(const MdnsAnnouncer&) = delete;
    ~MdnsAnnouncer();

    // Starts announcing; `announced` is called (on Avahi's thread) with the
    // service name each time the daemon has established the services.
    // False, with the reason in `error`, when Avahi is not there.
    bool Start(std::string name, std::vector<Service> services,
               std::function<void(const std::string&)> announced, std::string& error);

    // Withdraws the services (also on destruction).
    void Stop();

private:
    static void OnClientState(AvahiClient* client, AvahiClientState state, void* data);
    static void OnGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* data);
    void AddServices(AvahiClient* client);
    void Rename();

    const visa::AvahiLibrary* m_avahi = nullptr;
    AvahiThreadedPoll* m_poll = nullptr;
    AvahiClient* m_client = nullptr;
    AvahiEntryGroup* m_group = nullptr;
    std::string m_name;
    std::vector<Service> m_services;
    std::function<void(const std::string&)> m_announced;
};

}  // namespace kvt::sim
