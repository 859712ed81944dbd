// korvata-sim: the simulated meter served over a raw socket and, when asked,
// VXI-11, with optional fault injection and a command log.
#include <signal.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/CommandLog.h"
#include "sim/MdnsAnnouncer.h"
#include "sim/MeterModel.h"
#include "sim/ServedInstrument.h"
#include "sim/SimOptions.h"
#include "sim/SocketServer.h"
#include "sim/Vxi11Server.h"

namespace {

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "korvata-sim: %s\n", message.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kvt::sim;
    SimOptions options;
    std::string error;
    if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::fprintf(stderr, "korvata-sim: %s\n\n%s", error.c_str(), SimOptions::Usage());
        return 2;
    }
    if (options.help) {
        std::fputs(SimOptions::Usage(), stdout);
        return 0;
    }

    // The servers' threads inherit this mask, so only sigwait below sees
    // the stop signals. A client that vanishes must not kill the process.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    CommandLog log;
    if (!options.logPath.empty() && !log.Open(options.logPath, error)) {
        return Fail(error, 1);
    }
    ServedInstrument instrument(std::make_shared<MeterModel>(options.seed), options.faults, &log);

    SocketServer socketServer(instrument);
    if (!socketServer.Start(options.socketPort, error)) {
        return Fail(error, 1);
    }
    std::string ports = "ports: socket=" + std::to_string(socketServer.Port());

    std::unique_ptr<Vxi11Server> vxi11;
    if (options.vxi11) {
        vxi11 = std::make_unique<Vxi11Server>(instrument, options.quirks);
        if (!vxi11->Start(options.portmapperPort, error)) {
            socketServer.Stop();
            return Fail(error, 1);
        }
        ports += " vxi11-core=" + std::to_string(vxi11->CorePort()) +
                 " vxi11-abort=" + std::to_string(vxi11->AbortPort()) + " portmapper=" +
                 // 0: registered with the system's rpcbind, which answers on 111.
                 std::to_string(vxi11->PortmapperPort() != 0 ? vxi11->PortmapperPort() : 111);
    }
    std::printf("%s\nready\n", ports.c_str());
    std::fflush(stdout);

    // Announced once serving; each time Avahi has established the services
    // it prints "announced: NAME" (the name may change on a collision).
    MdnsAnnouncer announcer;
    if (options.announce) {
        std::optional<uint16_t> vxi11Portmapper;
        if (vxi11) {
            vxi11Portmapper = vxi11->PortmapperPort() != 0 ? vxi11->PortmapperPort() : 111;
        }
        auto announced = [](const std::string& name) {
            std::printf("announced: %s\n", name.c_str());
            std::fflush(stdout);
        };
        if (!announcer.Start(MdnsAnnouncer::ServiceName(MeterModel::kIdentity),
                             MdnsAnnouncer::ServicesOf(socketServer.Port(), vxi11Portmapper),
                             announced, error)) {
            std::fprintf(stderr, "korvata-sim: --announce: %s; serving without announcing\n",
                         error.c_str());
        }
    }

    int signalNumber = 0;
    while (sigwait(&stopSignals, &signalNumber) != 0) {
    }
    announcer.Stop();
    if (vxi11) {
        // Links that clients left open (a client that never destroys its
        // links wears down instruments that keep them).
        std::printf("links: %zu\n", vxi11->LiveLinks());
        std::fflush(stdout);
        vxi11->Stop();
    }
    socketServer.Stop();
    return 0;
}
