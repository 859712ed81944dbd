#include "sim/MdnsAnnouncer.h"

#include <cstdio>

namespace kvt::sim {

std::vector<MdnsAnnouncer::Service> MdnsAnnouncer::ServicesOf(
    uint16_t socketPort, std::optional<uint16_t> vxi11PortmapperPort) {
    std::vector<Service> services{{"_scpi-raw._tcp", socketPort}};
    if (vxi11PortmapperPort) {
        services.push_back({"_vxi-11._tcp", *vxi11PortmapperPort});
    }
    return services;
}

std::string MdnsAnnouncer::ServiceName(std::string_view identity) {
    std::string_view serial;
    size_t first = identity.find(',');
    size_t second = first == std::string_view::npos ? first : identity.find(',', first + 1);
    if (second != std::string_view::npos) {
        serial = identity.substr(second + 1);
        serial = serial.substr(0, serial.find(','));
    }
    std::string name = "Korvata simulated meter";
    if (!serial.empty()) {
        name += " (" + std::string(serial) + ")";
    }
    return name;
}

MdnsAnnouncer::~MdnsAnnouncer() {
    Stop();
}

bool MdnsAnnouncer::Start(std::string name, std::vector<Service> services,
                          std::function<void(const std::string&)> announced, std::string& error) {
    m_avahi = visa::AvahiLibrary::Get();
    if (m_avahi == nullptr) {
        error = "Avahi's client library cannot be loaded (" + visa::AvahiLibrary::LoadError() + ")";
        return false;
    }
    m_name = std::move(name);
    m_services = std::move(services);
    m_announced = std::move(announced);
    m_poll = m_avahi->threadedPollNew();
    if (m_poll == nullptr) {
        error = "Avahi's event loop cannot be made";
        return false;
    }
    int code = 0;
    // Where no daemon runs this fails at once; while it runs, the
    // callback adds the services (from here, or later on the poll's thread).
    m_client = m_avahi->clientNew(m_avahi->threadedPollGet(m_poll), AvahiClientFlags(0),
                                  OnClientState, this, &code);
    if (m_client == nullptr) {
        error = std::string("the Avahi daemon cannot be reached (") + m_avahi->strerror(code) + ")";
        Stop();
        return false;
    }
    if (m_avahi->threadedPollStart(m_poll) < 0) {
        error = "Avahi's event loop cannot be started";
        Stop();
        return false;
    }
    return true;
}

void MdnsAnnouncer::Stop() {
    if (m_poll == nullptr) {
        return;
    }
    // Stopping a loop that never started is harmless; it must be stopped
    // before the client it serves is freed.
    m_avahi->threadedPollStop(m_poll);
    if (m_client != nullptr) {
        m_avahi->clientFree(m_client);  // withdraws the group with it
        m_client = nullptr;
        m_group = nullptr;
    }
    m_avahi->threadedPollFree(m_poll);
    m_poll = nullptr;
}

void MdnsAnnouncer::OnClientState(AvahiClient* client, AvahiClientState state, void* data) {
    auto* self = static_cast<MdnsAnnouncer*>(data);
    switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            self->AddServices(client);
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host's own name is being settled: announce again after.
            if (self->m_group != nullptr) {
                self->m_avahi->entryGroupReset(self->m_group);
            }
            break;
        case AVAHI_CLIENT_FAILURE:
            std::fprintf(stderr,
                         "korvata-sim: --announce: Avahi failed (%s); no longer announced\n",
                         self->m_avahi->strerror(self->m_avahi->clientErrno(client)));
            break;
        default:
            break;
    }
}

void MdnsAnnouncer::OnGroupState(AvahiEntryGroup* /*group*/, AvahiEntryGroupState state,
                                 void* data) {
    auto* self = static_cast<MdnsAnnouncer*>(data);
    switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            if (self->m_announced) {
                self->m_announced(self->m_name);
            }
            break;
        case AVAHI_ENTRY_GROUP_COLLISION:
            // Another instrument has the name: take the next one.
            self->Rename();
            self->m_avahi->entryGroupReset(self->m_group);
            self->AddServices(self->m_client);
            break;
        case AVAHI_ENTRY_GROUP_FAILURE:
            std::fprintf(stderr, "korvata-sim: --announce: the services cannot be announced\n");
            break;
        default:
            break;
    }
}

void MdnsAnnouncer::Rename() {
    char* next = m_avahi->alternativeServiceName(m_name.c_str());
    if (next != nullptr) {
        m_name = next;
        m_avahi->free(next);
    }
}

void MdnsAnnouncer::AddServices(AvahiClient* client) {
    if (m_group == nullptr) {
        m_group = m_avahi->entryGroupNew(client, OnGroupState, this);
        if (m_group == nullptr) {
            return;
        }
    }
    // A name that the daemon already knows taken is renamed here; one taken
    // elsewhere on the network comes back as a collision of the group.
    for (int attempt = 0; attempt < 20; ++attempt) {
        int result = 0;
        for (const Service& service : m_services) {
            result = m_avahi->entryGroupAddService(m_group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                   AvahiPublishFlags(0), m_name.c_str(),
                                                   service.type.c_str(), nullptr, nullptr,
                                                   service.port, static_cast<const char*>(nullptr));
            if (result < 0) {
                break;
            }
        }
        if (result == AVAHI_ERR_COLLISION) {
            Rename();
            m_avahi->entryGroupReset(m_group);
            continue;
        }
        if (result >= 0) {
            m_avahi->entryGroupCommit(m_group);
        }
        return;
    }
}

}  // namespace kvt::sim
