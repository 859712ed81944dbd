// The CALCulate tree: statistics, limits, scaling, trend and histogram.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "link/AnalysisCommands.h"
#include "tests/link/LinkFixture.h"

namespace kvt::test {
namespace {

using Strings = std::vector<std::string>;
using AnalysisCommands = LinkFixture;

TEST_F(AnalysisCommands, SetCommands) {
    EXPECT_TRUE(link::SetHistogramPoints(100));
    EXPECT_TRUE(link::SetHistogramLower(1.23456));
    EXPECT_TRUE(link::SetHistogramUpper(-2.5));
    link::SetHistogramAutoRange(true);
    link::SetHistogramAutoRange(false);
    link::ClearHistogram();
    link::ClearAverage();
    EXPECT_TRUE(link::SetLimitState(1));
    EXPECT_TRUE(link::SetLimitLower(-0.25));
    EXPECT_TRUE(link::SetLimitUpper(1.5));
    EXPECT_TRUE(link::SetScaleState(0));
    link::SetScaleFunction("DBM");
    EXPECT_TRUE(link::SetDbReference(-10));
    EXPECT_TRUE(link::SetDbmReference(600));
    EXPECT_TRUE(link::SetScaleAutoReference(1));
    link::SetTrendChartMode("ALL");
    EXPECT_EQ(Sent(), (Strings{
                          "CALCulate:TRANsform:HISTogram:POINts 100",
                          "CALCulate:TRANsform:HISTogram:RANGe:LOWer 1.235",
                          "CALCulate:TRANsform:HISTogram:RANGe:UPPer -2.500",
                          "CALCulate:TRANsform:HISTogram:RANGe:AUTO 1",
                          "CALCulate:TRANsform:HISTogram:RANGe:AUTO 0",
                          "CALCulate:TRANsform:HISTogram:CLEar",
                          "CALCulate:AVERage:CLEar",
                          "CALCulate:LIMit:STATe 1",
                          "CALCulate:LIMit:LOWer -0.250000000000",
                          "CALCulate:LIMit:UPPer 1.500000000000",
                          "CALCulate:SCALe:STATe 0",
                          "CALCulate:SCALe:FUNCtion DBM",
                          "CALCulate:SCALe:DB:REFerence -10",
                          "CALCulate:SCALe:DBM:REFerence 600",
                          "CALCulate:SCALe:REFerence:AUTO 1",
                          "CALCulate:TRENd:CHARt:MODe ALL",
                      }));
}

TEST_F(AnalysisCommands, LargeLimitsAreWrittenInFull) {
    EXPECT_TRUE(link::SetLimitUpper(1e25));
    EXPECT_EQ(Sent(), Strings{"CALCulate:LIMit:UPPer 10000000000000000905969664.000000000000"});
}

TEST_F(AnalysisCommands, SetCommandsReportAFailedWrite) {
    Connection()->Close();
    EXPECT_FALSE(link::SetHistogramPoints(10));
    EXPECT_FALSE(link::SetLimitLower(1));
    EXPECT_FALSE(link::SetScaleAutoReference(0));
    EXPECT_TRUE(Failures().empty());
}

TEST_F(AnalysisCommands, NumericQueries) {
    m_device->Answer("CALCulate:TRANsform:HISTogram:RANGe:AUTO?", "1\n");
    m_device->Answer("CALCulate:AVERage:COUNt?", "+1.25000000E+02\n");
    m_device->Answer("CALCulate:LIMit:STATe?", "1\n");
    m_device->Answer("CALCulate:LIMit:LOWer?", "-1.50000000E+00\n");
    m_device->Answer("CALCulate:LIMit:UPPer?", "+2.5E-3\n");
    m_device->Answer("CALCulate:SCALe:STATe?", "0\n");
    m_device->Answer("CALCulate:SCALe:DB:REFerence?", "-1.29E+01\n");
    m_device->Answer("CALCulate:SCALe:DBM:REFerence?", "+6.00E+02\n");
    m_device->Answer("CALCulate:SCALe:REFerence:AUTO?", "1\n");
    EXPECT_EQ(link::GetHistogramAutoRange(), 1);
    EXPECT_DOUBLE_EQ(link::ReadAverageCount(), 125.0);
    EXPECT_EQ(link::GetLimitState(), 1);
    EXPECT_DOUBLE_EQ(link::GetLimitLower(), -1.5);
    EXPECT_DOUBLE_EQ(link::GetLimitUpper(), 0.0025);
    EXPECT_EQ(link::GetScaleState(), 0);
    EXPECT_EQ(link::GetDbReference(), -12);  // truncated toward zero
    EXPECT_EQ(link::GetDbmReference(), 600);
    EXPECT_EQ(link::GetScaleAutoReference(), 1);
    EXPECT_TRUE(Failures().empty());
    EXPECT_EQ(Sent().size(), 9u);
}

TEST_F(AnalysisCommands, NumericQueriesWithoutAnswerAreZero) {
    EXPECT_EQ(link::GetHistogramAutoRange(), 0);
    EXPECT_EQ(link::ReadAverageCount(), 0.0);
    EXPECT_EQ(link::GetLimitState(), 0);
    EXPECT_EQ(link::GetLimitLower(), 0.0);
    EXPECT_EQ(link::GetDbReference(), 0);
    EXPECT_EQ(Failures().size(), 5u);
}

TEST_F(AnalysisCommands, ScaleAutoReferenceReadsAtMostEightBytes) {
    // "12345678" fills the 8-byte buffer; "9" is dropped with the rest.
    m_device->Answer("CALCulate:SCALe:REFerence:AUTO?", "123456789\n");
    m_device->Answer("CALCulate:SCALe:STATe?", "1\n");
    EXPECT_EQ(link::GetScaleAutoReference(), 12345678);
    EXPECT_EQ(link::GetScaleState(), 1);
}

TEST_F(AnalysisCommands, TextQueriesAndTheirFallbacks) {
    const std::pair<const char*, const char*> functions[] = {{"DB", "dB"},     {"DB\n", "dB"},
                                                             {"DB\r\n", "dB"}, {"DB;X\n", "dB"},
                                                             {"DBM\n", "dBm"}, {"DBX\n", "dBm"}};
    for (const auto& [reply, label] : functions) {
        m_device->Answer("CALCulate:SCALe:FUNCtion?", reply);
        EXPECT_EQ(link::GetScaleFunction(), label) << reply;
    }
    const std::pair<const char*, const char*> modes[] = {
        {"ALL\n", "ALL"}, {"REC\n", "REC"}, {"xALLx", "ALL"}, {"all\n", "REC"}};
    for (const auto& [reply, label] : modes) {
        m_device->Answer("CALCulate:TRENd:CHARt:MODe?", reply);
        EXPECT_EQ(link::GetTrendChartMode(), label) << reply;
    }
    m_device->Answer("CALCulate:AVERage:PTPeak?", "+1.0E-03\n");
    EXPECT_EQ(link::ReadAveragePeakToPeak(), "+1.0E-03\n");

    Connection()->Close();
    EXPECT_EQ(link::GetScaleFunction(), "dBm");
    EXPECT_EQ(link::GetTrendChartMode(), "REC");
    EXPECT_EQ(link::ReadAveragePeakToPeak(), "");
}

TEST_F(AnalysisCommands, TrendDataFillsItsBuffer) {
    std::string reply = "1.0,2.0,3.0\n";
    m_device->Answer("CALCulate:TRENd:CHARt:DATA?", reply);
    uint32_t received = 0;
    link::ReadTrendChartData(link::kTrendBufferSize, &received);
    ASSERT_EQ(received, reply.size());
    std::span<const char> buffer = link::TrendChartBuffer();
    ASSERT_EQ(buffer.size(), 1048576u);
    EXPECT_EQ(std::string(buffer.data(), received), reply);
    EXPECT_TRUE(
        std::all_of(buffer.begin() + received, buffer.end(), [](char c) { return c == '\0'; }));

    // A reply longer than the capacity is cut there; the next exchange is clean.
    m_device->Answer("CALCulate:TRENd:CHARt:DATA?", std::string(50000, '5') + "\n");
    m_device->Answer("CALCulate:LIMit:STATe?", "1\n");
    link::ReadTrendChartData(1000, &received);
    EXPECT_EQ(received, 1000u);
    EXPECT_EQ(link::GetLimitState(), 1);

    // Disconnected: zeroed buffer, nothing received.
    Connection()->Close();
    link::ReadTrendChartData(link::kTrendBufferSize, &received);
    EXPECT_EQ(received, 0u);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](char c) { return c == '\0'; }));
}

TEST_F(AnalysisCommands, FullSizeTrendReplyIsBoundedByTheBuffer) {
    std::string reply(2 * link::kTrendBufferSize, '8');
    m_device->Answer("CALCulate:TRENd:CHARt:DATA?", reply);
    uint32_t received = 0;
    // A capacity beyond the buffer is held to the buffer's size.
    link::ReadTrendChartData(0xFFFFFFFFu, &received);
    EXPECT_EQ(received, link::kTrendBufferSize);
    m_device->Answer("CALCulate:SCALe:STATe?", "1\n");
    EXPECT_EQ(link::GetScaleState(), 1);
}

TEST_F(AnalysisCommands, ShorterReadLeavesNoOlderReplyBehindIt) {
    // A long reply, then a short one read with a smaller capacity: the
    // buffer must not go on holding the long reply's tail past the new one.
    m_device->Answer("CALCulate:TRENd:CHARt:DATA?", std::string(50000, '5') + "\n");
    m_device->Answer("CALCulate:TRANsform:HISTogram:ALL?", std::string(50000, '6') + "\n");
    uint32_t received = 0;
    link::ReadTrendChartData(link::kTrendBufferSize, &received);
    ASSERT_EQ(received, 50001u);
    link::ReadHistogramAll(link::kHistogramBufferSize, &received);
    ASSERT_EQ(received, 50001u);

    m_device->Answer("CALCulate:TRENd:CHARt:DATA?", std::string(2000, '7'));
    m_device->Answer("CALCulate:TRANsform:HISTogram:ALL?", std::string(2000, '8'));
    link::ReadTrendChartData(1000, &received);
    EXPECT_EQ(received, 1000u);
    std::span<const char> trend = link::TrendChartBuffer();
    EXPECT_EQ(std::string(trend.data(), 1000), std::string(1000, '7'));
    EXPECT_TRUE(std::all_of(trend.begin() + 1000, trend.end(), [](char c) { return c == '\0'; }));
    link::ReadHistogramAll(1000, &received);
    EXPECT_EQ(received, 1000u);
    std::span<const char> histogram = link::HistogramBuffer();
    EXPECT_EQ(std::string(histogram.data(), 1000), std::string(1000, '8'));
    EXPECT_TRUE(
        std::all_of(histogram.begin() + 1000, histogram.end(), [](char c) { return c == '\0'; }));
}

TEST_F(AnalysisCommands, HistogramAndAverages) {
    m_device->Answer("CALCulate:TRANsform:HISTogram:ALL?", "0,1,2,5,9\n");
    uint32_t received = 0;
    link::ReadHistogramAll(link::kHistogramBufferSize, &received);
    EXPECT_EQ(std::string(link::HistogramBuffer().data(), received), "0,1,2,5,9\n");
    EXPECT_EQ(link::HistogramBuffer().size(), 102400u);

    m_device->Answer("CALCulate:AVERage:ALL?", "+1.0E+00,+2.0E+00,+3.0E+00,+4.0E+00\n");
    std::array<char, 256> averages;
    averages.fill('z');
    link::ReadAverageAll(averages.data(), 256, &received);
    EXPECT_EQ(std::string(averages.data(), received), "+1.0E+00,+2.0E+00,+3.0E+00,+4.0E+00\n");
    EXPECT_EQ(averages[received], '\0');

    // Disconnected: a capacity beyond the buffer is held to it, and the
    // whole buffer is left zeroed.
    Connection()->Close();
    link::ReadHistogramAll(link::kHistogramBufferSize + 1000, &received);
    EXPECT_EQ(received, 0u);
    EXPECT_TRUE(std::all_of(link::HistogramBuffer().begin(), link::HistogramBuffer().end(),
                            [](char c) { return c == '\0'; }));
    EXPECT_EQ(Sent(), (Strings{"CALCulate:TRANsform:HISTogram:ALL?", "CALCulate:AVERage:ALL?"}));
}

}  // namespace
}  // namespace kvt::test
