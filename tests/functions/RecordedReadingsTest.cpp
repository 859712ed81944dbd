// What the functions hand to a recording: the number as the meter sent it
// with the unit it is in and the range, overloads marked, nothing for a
// reply that could not be read; and the notice that the readings stopped
// on their own, which a pause or a shutdown does not give.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <stdlib.h>

#include "functions/BackgroundRecorder.h"
#include "functions/CKVTFunctionCont.h"
#include "functions/CKVTFunctionDCV.h"
#include "functions/CKVTFunctionTemperature.h"
#include "link/CoreCommands.h"
#include "link/TemperatureCommands.h"
#include "tests/functions/FileText.h"
#include "tests/functions/FunctionUnderTest.h"

namespace kvt::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
constexpr std::chrono::seconds kWait{20};

// The lines of a recording, each cut into its fields from the third on:
// function, value, unit, range (none of which hold commas here).
std::vector<Strings> RecordedFields(const fs::path& file) {
    std::vector<Strings> rows;
    std::istringstream in(ReadFile(file));
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        Strings fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) {
            fields.push_back(cell);
        }
        if (line.back() == ',') {
            fields.emplace_back();
        }
        rows.emplace_back(fields.begin() + 2, fields.end());
    }
    return rows;
}

// A recording into a fresh folder for one test.
class Recording {
public:
    Recording() : m_dir(m_folder.Path()) { m_recorder.Start(m_dir / "log.csv", nullptr); }
    ~Recording() { m_recorder.Stop(); }
    functions::BackgroundRecorder* Recorder() { return &m_recorder; }
    // Ends the recording and returns its rows.
    std::vector<Strings> Rows() {
        m_recorder.Stop();
        return RecordedFields(m_dir / "log.csv");
    }

private:
    TempFolder m_folder{"kvt-recorded"};
    fs::path m_dir;
    functions::BackgroundRecorder m_recorder;
};

using DcvRecording = FunctionUnderTest<functions::CKVTFunctionDCV>;
using ContRecording = FunctionUnderTest<functions::CKVTFunctionCont>;

TEST_F(DcvRecording, TheMetersOwnNumberIsRecordedNotTheShownText) {
    Recording recording;
    m_f->SetRecorder(recording.Recorder());
    const std::string range = m_f->GetRange();
    m_device->Answer("DATA:LAST?", "+1.23456789E-09 VDC\r\n");
    ASSERT_TRUE(m_f->ReadOnce());
    // Twelve decimals are shown; the file keeps every digit sent.
    EXPECT_EQ(m_f->GetReadingText(), "+0.000000001235");
    m_device->Answer("DATA:LAST?", "-9.90000000E+37\n");
    ASSERT_TRUE(m_f->ReadOnce());
    // Replies that are not readings are shown as a failure and never recorded.
    for (const char* garbled : {"+1.2.3E+00 VDC\n", "VDC\n", ""}) {
        m_device->Answer("DATA:LAST?", garbled);
        EXPECT_FALSE(m_f->ReadOnce()) << garbled;
    }
    m_device->Answer("DATA:LAST?", "+7.0E-01\n");
    ASSERT_TRUE(m_f->ReadOnce());
    m_f->SetRecorder(nullptr);
    ASSERT_TRUE(m_f->ReadOnce());  // no longer recorded

    EXPECT_EQ(recording.Rows(), (std::vector<Strings>{{"DC Voltage", "+1.23456789E-09", "V", range},
                                                      {"DC Voltage", "-OVERLOAD", "V", range},
                                                      {"DC Voltage", "+7.0E-01", "V", range}}));
}

TEST_F(ContRecording, AnOpenCircuitIsRecordedAsAnOverloadWithoutARange) {
    Recording recording;
    m_f->SetRecorder(recording.Recorder());
    m_device->Answer("DATA:LAST?", "+9.90000000E+37 OHM\n");
    ASSERT_TRUE(m_f->ReadOnce());
    EXPECT_EQ(m_f->GetDisplayText(), "open");
    m_device->Answer("DATA:LAST?", "+1.23456789E+01 OHM\n");
    ASSERT_TRUE(m_f->ReadOnce());
    EXPECT_EQ(recording.Rows(), (std::vector<Strings>{{"Continuity", "OVERLOAD", "Ω", ""},
                                                      {"Continuity", "+1.23456789E+01", "Ω", ""}}));
}

class TemperatureRecording : public FunctionUnderTest<functions::CKVTFunctionTemperature, true> {};

TEST_F(TemperatureRecording, EveryCycleRecordsItsReadingInTheShownUnitWithNoRange) {
    link::SetFunction("TEMP");
    link::SetTriggerCountInfinite();
    link::Initiate();
    Recording recording;
    m_f->SetRecorder(recording.Recorder());
    m_f->Start();
    ASSERT_TRUE(m_panel.WaitForNewReadings(3, kWait));
    m_f->Shutdown();
    const int notices = m_panel.NewReadings();
    std::vector<Strings> rows = recording.Rows();
    // A reading is recorded before its cycle's notice, and a stop request
    // may end a cycle between the two.
    ASSERT_GE(rows.size(), static_cast<size_t>(notices));
    ASSERT_LE(rows.size(), static_cast<size_t>(notices) + 1);
    for (const Strings& row : rows) {
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(row[0], "Temperature");
        EXPECT_EQ(row[2], m_f->GetUnitLabel());
        EXPECT_EQ(row[3], "");
    }
    // Stopping the worker is not the readings stopping on their own.
    for (const std::string& call : m_panel.Calls()) {
        EXPECT_EQ(call.find("OnReadingsStopped"), std::string::npos) << call;
    }
}

class StoppedReadings : public MeterFixture {};

TEST_F(StoppedReadings, AWorkerEndedByASilentMeterSaysSoOncePauseAndShutdownDoNot) {
    link::SetTriggerCountInfinite();
    link::Initiate();
    auto stops = [this] {
        int count = 0;
        for (const std::string& call : m_panel.Calls()) {
            count += call == "OnReadingsStopped(DC Voltage)" ? 1 : 0;
        }
        return count;
    };
    m_dcv->Start();
    ASSERT_TRUE(m_panel.WaitForNewReadings(2, kWait));
    m_dcv->Pause();
    m_dcv->Start();
    ASSERT_TRUE(m_panel.WaitForNewReadings(m_panel.NewReadings() + 1, kWait));
    EXPECT_EQ(stops(), 0);

    m_device->SetSilent(true);
    ASSERT_TRUE(m_dcv->WaitForWorkerEnd(kWait));
    EXPECT_EQ(stops(), 1);

    m_device->SetSilent(false);
    m_dcv->Start();
    ASSERT_TRUE(m_panel.WaitForNewReadings(m_panel.NewReadings() + 1, kWait));
    m_dcv->Shutdown();
    EXPECT_EQ(stops(), 1);
}

}  // namespace
}  // namespace kvt::test
