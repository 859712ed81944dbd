// Until the front panel exists, the program opens the meter through the VISA
// layer, shows its identity and a few readings, and ends.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "sim/SimulatedMeter.h"
#include "visa/visa.h"

namespace {

bool Send(ViSession session, const char* command) {
    ViUInt32 count = 0;
    ViStatus status = viWrite(session, reinterpret_cast<ViConstBuf>(command),
                              static_cast<ViUInt32>(std::strlen(command)), &count);
    if (status < VI_SUCCESS) {
        std::fprintf(stderr, "write \"%s\" failed: status 0x%08X\n", command,
                     static_cast<unsigned>(status));
        return false;
    }
    return true;
}

bool Query(ViSession session, const char* command, std::string& reply) {
    if (!Send(session, command)) {
        return false;
    }
    // The meter is given the same time to answer as the program gives it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ViUInt32 count = 0;
    char buffer[256] = {};
    ViStatus status = viRead(session, reinterpret_cast<ViBuf>(buffer), sizeof buffer - 1, &count);
    if (status < VI_SUCCESS) {
        std::fprintf(stderr, "read after \"%s\" failed: status 0x%08X\n", command,
                     static_cast<unsigned>(status));
        return false;
    }
    reply.assign(buffer, count);
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) {
        reply.pop_back();
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    kvt::sim::InstallSimulatedMeter();
    const char* resource = argc > 1 ? argv[1] : "USB?*INSTR";

    ViSession manager = VI_NULL;
    if (viOpenDefaultRM(&manager) < VI_SUCCESS) {
        std::fprintf(stderr, "cannot open the VISA resource manager\n");
        return 1;
    }
    char descriptor[VI_FIND_BUFLEN] = {};
    std::strncpy(descriptor, resource, sizeof descriptor - 1);
    if (std::strstr(resource, "TCPIP") == nullptr) {
        ViFindList list = VI_NULL;
        ViUInt32 found = 0;
        if (viFindRsrc(manager, resource, &list, &found, descriptor) < VI_SUCCESS || found == 0) {
            std::fprintf(stderr, "no instrument matches %s\n", resource);
            viClose(manager);
            return 1;
        }
    }
    ViSession meter = VI_NULL;
    ViStatus status = viOpen(manager, descriptor, VI_NO_LOCK, 0, &meter);
    if (status < VI_SUCCESS) {
        std::fprintf(stderr, "cannot open %s: status 0x%08X\n", descriptor,
                     static_cast<unsigned>(status));
        viClose(manager);
        return 1;
    }
    std::printf("Instrument: %s\n", descriptor);
    std::string reply;
    int result = 0;
    if (Query(meter, "*IDN?", reply) && Send(meter, "TRIG:COUN INF") && Send(meter, "INIT")) {
        std::printf("Identity:   %s\n", reply.c_str());
        for (int i = 1; i <= 5 && result == 0; ++i) {
            if (Query(meter, "DATA:LAST?", reply)) {
                std::printf("Reading %d:  %s\n", i, reply.c_str());
            } else {
                result = 1;
            }
        }
    } else {
        result = 1;
    }
    viClose(manager);
    return result;
}
