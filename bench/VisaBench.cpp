// The VISA layer against korvata-sim over VXI-11 on loopback, side by side
// with two independent clients on the same simulated meter: liblxi and
// pyvisa with pyvisa-py. The simulator registers with the system rpcbind,
// which every client asks for the VXI-11 port.
#include <benchmark/benchmark.h>
#include <lxi.h>
#include <signal.h>
#include <stdio.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/SimProcess.h"
#include "visa/visa.h"

namespace {

constexpr const char* kResource = "TCPIP0::127.0.0.1::inst0::INSTR";
constexpr size_t kMiB = 1024 * 1024;

std::unique_ptr<kvt::test::SimProcess> StartSim(std::vector<std::string> arguments,
                                                benchmark::State& state) {
    arguments.push_back("--vxi11");
    auto sim = std::make_unique<kvt::test::SimProcess>(std::move(arguments));
    if (!sim->Ready()) {
        state.SkipWithError(("korvata-sim did not start: " + sim->Error()).c_str());
        return nullptr;
    }
    return sim;
}

void OurVisaQuery(benchmark::State& state, const char* command, size_t replySize) {
    ViSession rm = VI_NULL;
    ViSession vi = VI_NULL;
    if (viOpenDefaultRM(&rm) < VI_SUCCESS ||
        viOpen(rm, kResource, VI_NO_LOCK, 0, &vi) < VI_SUCCESS) {
        state.SkipWithError("cannot open the simulated meter over VXI-11");
        return;
    }
    std::vector<ViByte> reply(replySize + 64);
    const auto length = static_cast<ViUInt32>(std::strlen(command));
    for (auto _ : state) {
        ViUInt32 count = 0;
        viWrite(vi, reinterpret_cast<ViConstBuf>(command), length, &count);
        if (viRead(vi, reply.data(), static_cast<ViUInt32>(reply.size()), &count) < VI_SUCCESS ||
            count < replySize) {
            state.SkipWithError("short or failed read");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * replySize));
    viClose(rm);
}

void LiblxiQuery(benchmark::State& state, const char* command, size_t replySize) {
    lxi_init();
    int device = lxi_connect("127.0.0.1", 0, "inst0", 2000, VXI11);
    if (device < 0) {
        state.SkipWithError("liblxi cannot connect");
        return;
    }
    std::vector<char> reply(replySize + 64);
    const int length = static_cast<int>(std::strlen(command));
    for (auto _ : state) {
        lxi_send(device, command, length, 2000);
        int count = lxi_receive(device, reply.data(), static_cast<int>(reply.size()), 2000);
        if (count < static_cast<int>(replySize)) {
            state.SkipWithError("liblxi: short or failed read");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * replySize));
    lxi_disconnect(device);
}

// pyvisa-py runs in its own interpreter; it times each query itself and the
// benchmark reports those times, one iteration per query.
void PyvisaQuery(benchmark::State& state, const char* command, size_t replySize) {
    std::string line = "/usr/bin/python3 " KVT_PYVISA_SCRIPT " ";
    line += kResource;
    line += " '";
    line += command;
    line += "' ";
    line += std::to_string(state.max_iterations);
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(line.c_str(), "r"), pclose);
    std::vector<double> durations;
    char text[64];
    while (pipe && std::fgets(text, sizeof text, pipe.get()) != nullptr) {
        durations.push_back(std::strtod(text, nullptr));
    }
    if (durations.size() != static_cast<size_t>(state.max_iterations)) {
        state.SkipWithError("pyvisa-py run failed");
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        state.SetIterationTime(durations[i++]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * replySize));
}

void BM_IdnRoundTrip_Korvata(benchmark::State& state) {
    if (auto sim = StartSim({}, state)) {
        OurVisaQuery(state, "*IDN?", 20);
    }
}
void BM_IdnRoundTrip_Liblxi(benchmark::State& state) {
    if (auto sim = StartSim({}, state)) {
        LiblxiQuery(state, "*IDN?", 20);
    }
}
void BM_IdnRoundTrip_PyvisaPy(benchmark::State& state) {
    if (auto sim = StartSim({}, state)) {
        PyvisaQuery(state, "*IDN?", 20);
    }
}

// Every reply padded to 1 MiB by the simulator's oversize fault.
const std::vector<std::string> kMiBReplies = {"--fault", "oversize=1048576"};

void BM_OneMiBReply_Korvata(benchmark::State& state) {
    if (auto sim = StartSim(kMiBReplies, state)) {
        OurVisaQuery(state, "*IDN?", kMiB);
    }
}
void BM_OneMiBReply_Liblxi(benchmark::State& state) {
    if (auto sim = StartSim(kMiBReplies, state)) {
        LiblxiQuery(state, "*IDN?", kMiB);
    }
}
void BM_OneMiBReply_PyvisaPy(benchmark::State& state) {
    if (auto sim = StartSim(kMiBReplies, state)) {
        PyvisaQuery(state, "*IDN?", kMiB);
    }
}

BENCHMARK(BM_IdnRoundTrip_Korvata)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IdnRoundTrip_Liblxi)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IdnRoundTrip_PyvisaPy)
    ->Iterations(2000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneMiBReply_Korvata)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneMiBReply_Liblxi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneMiBReply_PyvisaPy)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// Like korvata and korvata-sim, the benchmark ignores SIGPIPE, so the VISA
// layer skips holding it off around each RPC, as it does in the program.
int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
