// The simulated meter's own cost: answering the polled reading and building
// the largest trend reply, on a hand-driven clock.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "sim/ManualClock.h"
#include "sim/MeterModel.h"

namespace {

using namespace std::chrono_literals;

void BM_LastReadingWithOneNewReading(benchmark::State& state) {
    auto clock = std::make_shared<kvt::sim::ManualClock>();
    kvt::sim::MeterModel meter(42, clock);
    for (auto _ : state) {
        clock->Advance(22ms);  // one reading at 1 PLC
        meter.ReceiveMessage("DATA:LAST?");
        std::string reply = meter.TakeResponse();
        benchmark::DoNotOptimize(reply);
    }
}

// "ALL" after five minutes of fast readings: the record is full and the
// reply is just under 1 MiB.
void BM_FullTrendRecordReply(benchmark::State& state) {
    auto clock = std::make_shared<kvt::sim::ManualClock>();
    kvt::sim::MeterModel meter(42, clock);
    meter.ReceiveMessage("VOLT:DC:NPLC 0.02");
    meter.ReceiveMessage("CALC:TREN:CHAR:MOD ALL");
    clock->Advance(300s);
    meter.ReceiveMessage("DATA:LAST?");
    meter.TakeResponse();
    size_t bytes = 0;
    for (auto _ : state) {
        meter.ReceiveMessage("CALCulate:TRENd:CHARt:DATA?");
        std::string reply = meter.TakeResponse();
        bytes = reply.size();
        benchmark::DoNotOptimize(reply);
    }
    state.counters["reply_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_LastReadingWithOneNewReading)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullTrendRecordReply)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
