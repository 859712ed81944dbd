// Program-side cost of the measurement functions: parsing the large trend
// and histogram replies, and one reading cycle of the DC voltage worker
// against the in-process simulated meter with the protocol pauses off.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "functions/AnalysisFetch.h"
#include "functions/BackgroundRecorder.h"
#include "functions/CKVTFunctionDCV.h"
#include "functions/HistogramReply.h"
#include "functions/ProgramRecords.h"
#include "functions/TrendReply.h"
#include "link/CoreCommands.h"
#include "link/IConnection.h"
#include "link/Pacer.h"
#include "sim/MeterModel.h"
#include "visa/Simulation.h"

namespace {

using kvt::functions::CKVTFunctionDCV;

class NoPause final : public kvt::link::IPacer {
public:
    void Pause(std::chrono::milliseconds) override {}
};

// Answers each scripted command with its reply, nothing else.
class ScriptedMeter final : public kvt::visa::MessageDevice {
public:
    void Answer(const std::string& command, std::string reply) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers[command] = std::move(reply);
    }
    void ReceiveMessage(std::string_view message) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto answer = m_answers.find(std::string(message));
        m_pending = answer == m_answers.end() ? std::string() : answer->second;
    }
    std::string TakeResponse() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_pending, std::string());
    }
    void DeviceClear() override {}
    uint8_t StatusByte() override { return 0; }

private:
    std::mutex m_mutex;
    std::map<std::string, std::string> m_answers;
    std::string m_pending;
};

// Counts new-reading notices; a benchmark iteration waits for the next one.
class NoticeCounter final : public kvt::functions::IFrontPanelServices {
public:
    void SetViewsUnit(const std::string&) override {}
    void ShowSensorDialog() override {}
    void ApplyScaleFunction(const std::string&) override {}
    void RefreshMainDisplay() override {}
    void SetTrendMode(const std::string&) override {}
    bool SaveReadings(const std::string&, std::string*) override { return true; }
    kvt::functions::CKVTFunction* GetCurrentFunction() override { return nullptr; }
    void PostNewReading() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_notices;
        }
        m_changed.notify_one();
    }
    long Notices() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_notices;
    }
    void WaitForNext() {
        std::unique_lock<std::mutex> lock(m_mutex);
        long seen = m_notices;
        m_changed.wait(lock, [&] { return m_notices > seen; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    long m_notices = 0;
};

// "+1.23456789E+00,..." up to 1 MiB, the size of the trend reply buffer.
std::string TrendReply() {
    std::string reply;
    for (int i = 0; reply.size() + 16 < 1048576; ++i) {
        reply += (i == 0 ? "" : ",");
        reply += i % 2 == 0 ? "+1.23456789E+00" : "-9.87654321E-03";
    }
    return reply + "\n";
}

std::string HistogramReply() {
    std::string reply = "-1.0E+00,+1.0E+00,1001,0";
    for (int i = 0; i < 400; ++i) {
        reply += "," + std::to_string(i * 7 % 113);
    }
    return reply + ",0\n";
}

class Connected : public benchmark::Fixture {
public:
    void Connect(std::shared_ptr<kvt::visa::MessageDevice> device) {
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        kvt::visa::InstallSimulatedDevice([device] { return device; });
        kvt::link::InstallPacer(&m_pacer);
        kvt::link::GetConnection()->Open("TCPIP0::127.0.0.1::inst0::INSTR");
    }
    void TearDown(const benchmark::State&) override {
        kvt::link::GetConnection()->Close();
        kvt::link::InstallPacer(nullptr);
        kvt::visa::InstallSimulatedDevice({});
    }

private:
    NoPause m_pacer;
};

void ParseTrendReply(benchmark::State& state) {
    std::string reply = TrendReply();
    auto trend = std::make_unique<kvt::functions::KVTTrendData>();
    for (auto _ : state) {
        kvt::functions::ParseTrendReply(reply, true, *trend);
        benchmark::DoNotOptimize(trend->minimum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
    state.counters["values"] = trend->count;
}
BENCHMARK(ParseTrendReply)->Unit(benchmark::kMillisecond);

void ParseHistogramReply(benchmark::State& state) {
    std::string reply = HistogramReply();
    auto histogram = std::make_unique<kvt::functions::KVTHistogramData>();
    for (auto _ : state) {
        kvt::functions::ParseHistogramReply(reply, 1, *histogram);
        benchmark::DoNotOptimize(histogram->bins[0]);
    }
}
BENCHMARK(ParseHistogramReply)->Unit(benchmark::kMicrosecond);

// The whole fetch: mode query, 1 MiB reply read through the link, parse
// and publish.
BENCHMARK_DEFINE_F(Connected, FetchTrendData)(benchmark::State& state) {
    auto meter = std::make_shared<ScriptedMeter>();
    meter->Answer("CALCulate:TRENd:CHARt:MODe?", "ALL\n");
    meter->Answer("CALCulate:TRENd:CHARt:DATA?", TrendReply());
    Connect(meter);
    CKVTFunctionDCV dcv(nullptr);
    dcv.Init();
    for (auto _ : state) {
        kvt::functions::FetchTrendData(&dcv);
    }
}
BENCHMARK_REGISTER_F(Connected, FetchTrendData)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(Connected, FetchHistogramData)(benchmark::State& state) {
    auto meter = std::make_shared<ScriptedMeter>();
    meter->Answer("CALCulate:TRANsform:HISTogram:ALL?", HistogramReply());
    meter->Answer("CALCulate:TRANsform:HISTogram:RANGe:AUTO?", "1\n");
    Connect(meter);
    for (auto _ : state) {
        kvt::functions::FetchHistogramData();
    }
}
BENCHMARK_REGISTER_F(Connected, FetchHistogramData)->Unit(benchmark::kMicrosecond);

// One worker cycle, from one new-reading notice to the next: manual
// range and no view shown (the reading alone), or automatic range with
// the statistics view shown.
BENCHMARK_DEFINE_F(Connected, WorkerCycle)(benchmark::State& state) {
    Connect(std::make_shared<kvt::sim::MeterModel>(3));
    kvt::link::SetTriggerCountInfinite();
    kvt::link::Initiate();
    NoticeCounter panel;
    CKVTFunctionDCV dcv(&panel);
    dcv.Init();
    bool busy = state.range(0) != 0;
    kvt::functions::g_statisticsViewActive = busy;
    if (busy) {
        dcv.OnMenuItem(CKVTFunctionDCV::kRangeAuto);
    }
    dcv.Start();
    panel.WaitForNext();
    long first = panel.Notices();
    auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        panel.WaitForNext();
    }
    double elapsed =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count();
    long cycles = panel.Notices() - first;
    dcv.Shutdown();
    // Cycles can outrun the waiting thread; the true cycle time is this.
    state.counters["us_per_cycle"] = cycles > 0 ? elapsed / static_cast<double>(cycles) : 0;
    kvt::functions::g_statisticsViewActive = false;
}
BENCHMARK_REGISTER_F(Connected, WorkerCycle)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Recording, per reading. Queued: what the reading worker spends handing
// a reading over (time stamps included). ToFile: the whole path, queued,
// turned into a CSV line and written by the recorder's own thread, for a
// batch of 10,000 readings ended by Stop.
std::string RecordingPath() {
    return (std::filesystem::temp_directory_path() / "kvt-bench-recording.csv").string();
}

kvt::functions::RecordedReading BenchReading() {
    return {std::chrono::system_clock::now(),
            std::chrono::steady_clock::now(),
            "DC Voltage",
            "+1.23456789E+00",
            "V",
            "2V"};
}

// In batches of 10,000 with a fresh recording each (outside the timing),
// so that the queue never fills and no reading is dropped.
constexpr int kRecordBatch = 10000;

void RecordReadingQueued(benchmark::State& state) {
    kvt::functions::BackgroundRecorder recorder;
    uint64_t dropped = 0;
    for (auto _ : state) {
        state.PauseTiming();
        recorder.Start(RecordingPath(), nullptr);
        state.ResumeTiming();
        for (int i = 0; i < kRecordBatch; ++i) {
            recorder.Record(BenchReading());
        }
        state.PauseTiming();
        recorder.Stop();
        dropped += recorder.GetStatus().dropped;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRecordBatch);
    state.counters["dropped"] = static_cast<double>(dropped);
    std::filesystem::remove(RecordingPath());
}
BENCHMARK(RecordReadingQueued)->Unit(benchmark::kMillisecond);

void RecordReadingToFile(benchmark::State& state) {
    constexpr int kBatch = kRecordBatch;
    kvt::functions::BackgroundRecorder recorder;
    for (auto _ : state) {
        recorder.Start(RecordingPath(), nullptr);
        for (int i = 0; i < kBatch; ++i) {
            recorder.Record(BenchReading());
        }
        recorder.Stop();
    }
    // Reported as readings per second: 1e6 / that is microseconds per reading.
    state.SetItemsProcessed(state.iterations() * kBatch);
    std::filesystem::remove(RecordingPath());
}
BENCHMARK(RecordReadingToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// 10,000 readings through the DC voltage function (query, parse, history),
// without a recording (0) and with one (1): the difference is what
// recording adds to a reading cycle on the worker's thread.
BENCHMARK_DEFINE_F(Connected, ReadOnce)(benchmark::State& state) {
    auto meter = std::make_shared<ScriptedMeter>();
    meter->Answer("DATA:LAST?", "+1.23456789E+00 VDC\n");
    Connect(meter);
    CKVTFunctionDCV dcv(nullptr);
    dcv.Init();
    const bool recording = state.range(0) != 0;
    kvt::functions::BackgroundRecorder recorder;
    dcv.SetRecorder(&recorder);
    uint64_t dropped = 0;
    for (auto _ : state) {
        if (recording) {
            state.PauseTiming();
            recorder.Start(RecordingPath(), nullptr);
            state.ResumeTiming();
        }
        for (int i = 0; i < kRecordBatch; ++i) {
            benchmark::DoNotOptimize(dcv.ReadOnce());
        }
        state.PauseTiming();
        recorder.Stop();
        dropped += recorder.GetStatus().dropped;
        state.ResumeTiming();
    }
    dcv.SetRecorder(nullptr);
    state.SetItemsProcessed(state.iterations() * kRecordBatch);
    state.counters["dropped"] = static_cast<double>(dropped);
    std::filesystem::remove(RecordingPath());
}
BENCHMARK_REGISTER_F(Connected, ReadOnce)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
