// The statistics, trend and histogram records and the reading history:
// parsing well-formed, malformed and truncated replies.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "functions/AnalysisFetch.h"
#include "functions/HistogramReply.h"
#include "functions/ProgramRecords.h"
#include "functions/StatisticsReply.h"
#include "functions/TrendReply.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

using functions::KVTHistogramData;
using functions::KVTTrendData;

std::string Repeat(const std::string& field, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += (i == 0 ? "" : ",") + field;
    }
    return text;
}

class TrendParsing : public ::testing::Test {
protected:
    std::unique_ptr<KVTTrendData> m_trend = std::make_unique<KVTTrendData>();
};

TEST_F(TrendParsing, AllKeepsOrderRecentReversesAndOverloadsAreSkipped) {
    functions::ParseTrendReply("1,9.9e37,-2", false, *m_trend);
    EXPECT_EQ(m_trend->count, 3);
    EXPECT_EQ(m_trend->values[0], 1);
    EXPECT_EQ(m_trend->values[2], -2);
    EXPECT_EQ(m_trend->minimum, -2);
    EXPECT_EQ(m_trend->maximum, 1);

    functions::ParseTrendReply("1,9.9e37,-2\n", true, *m_trend);
    EXPECT_EQ(m_trend->count, 3);
    EXPECT_EQ(m_trend->values[0], -2);
    EXPECT_EQ(m_trend->values[1], 9.9e37);
    EXPECT_EQ(m_trend->values[2], 1);
    EXPECT_EQ(m_trend->minimum, -2);
    EXPECT_EQ(m_trend->maximum, 1);

    // Only the first value can make an overload the maximum or minimum.
    functions::ParseTrendReply("+9.9E+37,+1.5E+00,-9.9E+37", false, *m_trend);
    EXPECT_EQ(m_trend->maximum, 9.9e37);
    EXPECT_EQ(m_trend->minimum, 1.5);
}

TEST_F(TrendParsing, EmptyAndMalformedRepliesStayInBounds) {
    functions::ParseTrendReply("4,5", false, *m_trend);
    functions::ParseTrendReply("", false, *m_trend);
    EXPECT_EQ(m_trend->count, 0);
    EXPECT_EQ(m_trend->minimum, 0);
    EXPECT_EQ(m_trend->maximum, 0);
    functions::ParseTrendReply(" \r\n", true, *m_trend);
    EXPECT_EQ(m_trend->count, 0);

    // Empty and non-numeric fields read as 0, as the C conversion does.
    functions::ParseTrendReply("2,,abc,3", false, *m_trend);
    EXPECT_EQ(m_trend->count, 4);
    EXPECT_EQ(m_trend->values[1], 0);
    EXPECT_EQ(m_trend->values[2], 0);
    EXPECT_EQ(m_trend->minimum, 0);
    EXPECT_EQ(m_trend->maximum, 3);
}

TEST_F(TrendParsing, FieldsBeyondStorageAreDropped) {
    // A 1 MiB reply of commas has one field more than storage holds.
    std::string commas(functions::kTrendCapacity, ',');
    commas[0] = '7';
    functions::ParseTrendReply(commas, false, *m_trend);
    EXPECT_EQ(m_trend->count, functions::kTrendCapacity);
    EXPECT_EQ(m_trend->values[0], 7);
    EXPECT_EQ(m_trend->maximum, 7);
    functions::ParseTrendReply(commas, true, *m_trend);
    EXPECT_EQ(m_trend->count, functions::kTrendCapacity);
    EXPECT_EQ(m_trend->values[functions::kTrendCapacity - 1], 7);
}

// Pages of [begin, end) that are in memory.
size_t ResidentPages(const void* begin, const void* end, size_t* pages) {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) / page * page;
    const uintptr_t last = reinterpret_cast<uintptr_t>(end) / page * page;
    *pages = last > first ? (last - first) / page : 0;
    std::vector<unsigned char> resident(*pages);
    if (*pages == 0 ||
        mincore(reinterpret_cast<void*>(first), last - first, resident.data()) != 0) {
        return 0;
    }
    size_t count = 0;
    for (unsigned char flags : resident) {
        count += flags & 1;
    }
    return count;
}

TEST(TrendStorage, CapacityAReplyDoesNotUseCostsNoMemory) {
    // Fresh pages for the record: large blocks straight from the system,
    // and the memory that earlier tests freed handed back to it (so that a
    // block reused from it starts untouched too).
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    malloc_trim(0);
    auto trend = std::make_unique<KVTTrendData>();
    functions::ParseTrendReply(Repeat("1.5", 1000), false, *trend);
    ASSERT_EQ(trend->count, 1000);
    // Past the values written, a record's eight megabytes stay untouched.
    size_t pages = 0;
    size_t resident = ResidentPages(trend->values.data() + 1000, trend->values.end(), &pages);
    ASSERT_GT(pages, size_t(1000));
    EXPECT_LT(resident, pages / 10) << resident << " of " << pages << " pages in memory";
}

class HistogramParsing : public ::testing::Test {
protected:
    std::unique_ptr<KVTHistogramData> m_histogram = std::make_unique<KVTHistogramData>();
};

TEST_F(HistogramParsing, AutomaticBinningSumsTheFourHundredCounts) {
    struct Case {
        int points;
        int bins;
        double perBin;
    };
    for (Case c : {Case{100, 10, 40}, Case{500, 20, 20}, Case{1000, 40, 10}, Case{1001, 100, 4}}) {
        SCOPED_TRACE(c.points);
        std::string reply =
            "-1.5,2.5," + std::to_string(c.points) + ",3," + Repeat("1", 400) + ",9\n";
        functions::ParseHistogramReply(reply, 1, *m_histogram);
        EXPECT_EQ(m_histogram->binCount, c.bins);
        EXPECT_EQ(m_histogram->bins[0], c.perBin);
        EXPECT_EQ(m_histogram->bins[c.bins - 1], c.perBin);
        EXPECT_EQ(m_histogram->bins[c.bins], 0);
        EXPECT_EQ(m_histogram->lower, -1.5);
        EXPECT_EQ(m_histogram->upper, 2.5);
        EXPECT_EQ(m_histogram->points, c.points);
        EXPECT_EQ(m_histogram->firstCount, 3);
        EXPECT_EQ(m_histogram->lastCount, 9);
        EXPECT_EQ(m_histogram->autoRange, 1);
    }
}

TEST_F(HistogramParsing, ManualBinningTakesEachCount) {
    functions::ParseHistogramReply("0,10,5,1,4,5,6,2", 0, *m_histogram);
    EXPECT_EQ(m_histogram->binCount, 3);
    EXPECT_EQ(m_histogram->bins[0], 4);
    EXPECT_EQ(m_histogram->bins[2], 6);
    EXPECT_EQ(m_histogram->lastCount, 2);
    EXPECT_EQ(m_histogram->autoRange, 0);
}

TEST_F(HistogramParsing, ShortRepliesReadOnlyWhatIsThere) {
    // Automatic binning with 8 counts instead of 400: the first bin sums
    // them, the rest stay empty, and the last count is not a bin count.
    functions::ParseHistogramReply("0,1,100,0," + Repeat("2", 8) + ",5", 1, *m_histogram);
    EXPECT_EQ(m_histogram->binCount, 10);
    EXPECT_EQ(m_histogram->bins[0], 16);
    EXPECT_EQ(m_histogram->bins[1], 0);

    // Fewer than five fields: no bins; stale bins are cleared.
    functions::ParseHistogramReply("0,10,5,1,4,5,6,2", 0, *m_histogram);
    for (const char* reply : {"0,1,100", "", "7", "0,1,2,3"}) {
        SCOPED_TRACE(reply);
        functions::ParseHistogramReply(reply, 0, *m_histogram);
        EXPECT_EQ(m_histogram->binCount, 0);
        EXPECT_EQ(m_histogram->lastCount, 0);
        EXPECT_EQ(m_histogram->bins[0], 0);
        functions::ParseHistogramReply(reply, 1, *m_histogram);
        EXPECT_EQ(m_histogram->binCount, 0);
    }
}

TEST_F(HistogramParsing, ManualBinsNeverExceedStorage) {
    // More counts than bins: the storage fills and the rest is dropped.
    std::string reply = "0,1,2,3," + Repeat("1", functions::kHistogramCapacity + 10) + ",4";
    functions::ParseHistogramReply(reply, 0, *m_histogram);
    EXPECT_EQ(m_histogram->binCount, functions::kHistogramCapacity);
    EXPECT_EQ(m_histogram->bins[functions::kHistogramCapacity - 1], 1);
    EXPECT_EQ(m_histogram->lastCount, 4);
}

TEST(StatisticsParsing, FieldsInOrderWithOverloads) {
    functions::KVTStatistics stats;
    functions::ApplyAverageFields("+1.5E+00,+2.0E-03,+9.9E+37,-1.0E+00\n", stats);
    EXPECT_EQ(stats.average, "+1.5E+00");
    EXPECT_EQ(stats.standardDeviation, "+2.0E-03");
    EXPECT_EQ(stats.maximum, "Overload");
    EXPECT_EQ(stats.minimum, "-1.0E+00\n");
    functions::ApplyAverageFields("-9.9E+37,1", stats);
    EXPECT_EQ(stats.average, "Overload");
    EXPECT_EQ(stats.standardDeviation, "1");
    EXPECT_EQ(stats.maximum, "");
    EXPECT_EQ(stats.minimum, "");
    EXPECT_EQ(functions::StatisticText("9.89e37"), "9.89e37");
    EXPECT_EQ(functions::CountFromValue(12.9), 12);
    EXPECT_EQ(functions::CountFromValue(-3.7), -3);
    EXPECT_EQ(functions::CountFromValue(1e30), INT32_MAX);
}

using RecordsFetch = FunctionsFixture;

TEST_F(RecordsFetch, StatisticsComeFromThreeQueries) {
    m_device->Answer("CALCulate:AVERage:ALL?", "+1.0E+00,+1.0E-02,+9.9E+37,+9.0E-01\n");
    m_device->Answer("CALCulate:AVERage:PTPeak?", "+9.9E+37\n");
    m_device->Answer("CALCulate:AVERage:COUNt?", "+1.20000000E+01\n");
    EXPECT_TRUE(m_dcv->UpdateStatistics());
    EXPECT_EQ(Sent(),
              (std::vector<std::string>{"CALCulate:AVERage:ALL?", "CALCulate:AVERage:PTPeak?",
                                        "CALCulate:AVERage:COUNt?"}));
    functions::KVTStatistics stats = m_dcv->GetStatistics();
    EXPECT_EQ(stats.average, "+1.0E+00");
    EXPECT_EQ(stats.maximum, "Overload");
    EXPECT_EQ(stats.span, "Overload");
    EXPECT_EQ(stats.count, 12);
}

TEST_F(RecordsFetch, TrendAndHistogramCopiesAreWholeRecords) {
    m_device->Answer("CALCulate:TRENd:CHARt:MODe?", "REC\n");
    m_device->Answer("CALCulate:TRENd:CHARt:DATA?", "+1.0E+00,+2.0E+00,+3.0E+00\n");
    functions::FetchTrendData(m_dcv.get());
    EXPECT_EQ(Sent(), (std::vector<std::string>{"CALCulate:TRENd:CHARt:MODe?",
                                                "CALCulate:TRENd:CHARt:DATA?"}));
    auto trend = std::make_unique<KVTTrendData>();
    functions::CopyTrendData(*trend);
    EXPECT_EQ(trend->count, 3);
    EXPECT_EQ(trend->mode, "REC");
    EXPECT_EQ(trend->range, "200mV");
    EXPECT_EQ(trend->values[0], 3);
    EXPECT_EQ(trend->values[2], 1);
    EXPECT_GE(trend->elapsedSeconds, 0);

    m_device->Answer("CALCulate:TRANsform:HISTogram:ALL?", "0,1,5,0,4,5,6,7,8,0\n");
    m_device->Answer("CALCulate:TRANsform:HISTogram:RANGe:AUTO?", "0\n");
    functions::FetchHistogramData();
    auto histogram = std::make_unique<KVTHistogramData>();
    histogram->binCount = 9;
    histogram->bins.fill(3);
    functions::CopyHistogramData(*histogram);
    EXPECT_EQ(histogram->binCount, 5);
    EXPECT_EQ(histogram->bins[4], 8);
    EXPECT_EQ(histogram->bins[5], 0);  // the copy's old bins are cleared
    EXPECT_EQ(histogram->bins[8], 0);

    // The instrument stops answering: an empty record, not stale data.
    m_device->SetSilent(true);
    functions::FetchTrendData(m_dcv.get());
    functions::CopyTrendData(*trend);
    EXPECT_EQ(trend->count, 0);
}

TEST_F(RecordsFetch, OverloadReadingsEnterTheHistoryAsTheOverloadValue) {
    m_device->Answer("DATA:LAST?", "+9.90000000E+37 VDC\n");
    EXPECT_TRUE(m_dcv->ReadOnce());
    EXPECT_EQ(m_dcv->GetReadingText(), "Overload");
    m_device->Answer("DATA:LAST?", "-1.25000000E-03 VDC\n");
    EXPECT_TRUE(m_dcv->ReadOnce());
    EXPECT_EQ(m_dcv->GetReadingText(), "-0.001250000000");
    EXPECT_EQ(m_dcv->HistorySnapshot(), (std::vector<double>{9.9e37, -0.00125}));
    m_device->SetSilent(true);
    EXPECT_FALSE(m_dcv->ReadOnce());
    EXPECT_EQ(m_dcv->GetReadingText(), "-0.001250000000");
    EXPECT_EQ(m_dcv->HistorySnapshot().size(), 2u);
}

TEST_F(RecordsFetch, HistoryKeepsAtMost50001Values) {
    for (int i = 0; i < 50000; ++i) {
        m_dcv->PushHistory(i);
    }
    EXPECT_EQ(m_dcv->HistorySnapshot().size(), 50000u);
    m_dcv->PushHistory(50000);
    std::vector<double> history = m_dcv->HistorySnapshot();
    ASSERT_EQ(history.size(), 50001u);
    EXPECT_EQ(history.front(), 0);
    m_dcv->PushHistory(50001);
    history = m_dcv->HistorySnapshot();
    ASSERT_EQ(history.size(), 50001u);
    EXPECT_EQ(history.front(), 1);
    EXPECT_EQ(history.back(), 50001);
}

}  // namespace
}  // namespace kvt::test
