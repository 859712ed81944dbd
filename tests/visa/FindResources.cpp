// Lists what viFindRsrc finds for an expression (default "?*INSTR"), one
// name a line, then "elapsed-ms N": the time the whole search took. Exit
// status 0 when the calls worked (an empty list included), 1 otherwise.
#include <chrono>
#include <cstdio>

#include "visa/visa.h"

int main(int argc, char** argv) {
    const char* expression = argc > 1 ? argv[1] : "?*INSTR";
    ViSession rm = VI_NULL;
    if (viOpenDefaultRM(&rm) < VI_SUCCESS) {
        std::fprintf(stderr, "viOpenDefaultRM failed\n");
        return 1;
    }
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    ViChar name[VI_FIND_BUFLEN] = {};
    auto start = std::chrono::steady_clock::now();
    ViStatus status = viFindRsrc(rm, expression, &list, &count, name);
    auto elapsed = std::chrono::steady_clock::now() - start;
    if (status < VI_SUCCESS && status != VI_ERROR_RSRC_NFOUND) {
        std::fprintf(stderr, "viFindRsrc: status %ld\n", static_cast<long>(status));
        viClose(rm);
        return 1;
    }
    for (ViUInt32 i = 0; i < count; ++i) {
        if (i > 0 && viFindNext(list, name) < VI_SUCCESS) {
            std::fprintf(stderr, "viFindNext failed\n");
            viClose(rm);
            return 1;
        }
        std::printf("%s\n", name);
    }
    std::printf("elapsed-ms %lld\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    viClose(rm);
    return 0;
}
