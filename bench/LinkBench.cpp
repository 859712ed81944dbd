// Program-side cost of the link's commands against the in-process
// simulated meter, with the protocol pauses recorded instead of slept:
// what a query costs beyond the instrument's own time.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "link/AnalysisCommands.h"
#include "link/CoreCommands.h"
#include "link/IConnection.h"
#include "link/Pacer.h"
#include "link/RangeCommands.h"
#include "sim/SimulatedMeter.h"

namespace {

// Pauses are skipped and not recorded, so a long run does not grow a list.
class NoPause final : public kvt::link::IPacer {
public:
    void Pause(std::chrono::milliseconds) override {}
};

class LinkToSimulatedMeter : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        kvt::sim::InstallSimulatedMeter();
        kvt::link::InstallPacer(&m_pacer);
        kvt::link::GetConnection()->Open("TCPIP0::127.0.0.1::inst0::INSTR");
    }
    void TearDown(const benchmark::State&) override {
        kvt::link::GetConnection()->Close();
        kvt::link::InstallPacer(nullptr);
    }

private:
    NoPause m_pacer;
};

BENCHMARK_F(LinkToSimulatedMeter, ReadLastValue)(benchmark::State& state) {
    if (kvt::link::ReadLastValue().empty()) {
        state.SkipWithError("the simulated meter did not answer");
    }
    for (auto _ : state) {
        std::string reading = kvt::link::ReadLastValue();
        benchmark::DoNotOptimize(reading);
    }
}

BENCHMARK_F(LinkToSimulatedMeter, SetFunction)(benchmark::State& state) {
    for (auto _ : state) {
        kvt::link::SetFunction("VOLT:AC");
    }
}

BENCHMARK_F(LinkToSimulatedMeter, GetVoltDcRange)(benchmark::State& state) {
    for (auto _ : state) {
        std::string range = kvt::link::GetVoltDcRange();
        benchmark::DoNotOptimize(range);
    }
}

}  // namespace

BENCHMARK_MAIN();
