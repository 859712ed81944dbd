// The meter's own analysis of its readings, checked against the readings the
// test saw: statistics, limits, the trend record and the histogram.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "tests/sim/MeterFixture.h"

namespace kvt::sim::testing {
namespace {

using namespace std::chrono_literals;

class MeterAnalysis : public MeterFixture {
protected:
    // 10 PLC: one reading every 202 ms, the first one 202 ms after INIT, so
    // each poll below sees exactly one new reading.
    static constexpr auto kReadingTime = 202ms;

    void SetUp() override {
        Send("VOLT:DC:NPLC 10");
        Send("INIT");
    }

    // Polls `count` readings, one per reading time.
    std::vector<double> Poll(int count) {
        std::vector<double> readings;
        for (int i = 0; i < count; ++i) {
            Advance(kReadingTime);
            readings.push_back(Number("DATA:LAST?"));
        }
        return readings;
    }
};

TEST_F(MeterAnalysis, StatisticsMatchTheReadingsTaken) {
    Send("CALC:AVER:CLE");
    std::vector<double> readings = Poll(200);
    double mean = std::accumulate(readings.begin(), readings.end(), 0.0) / 200;
    double squares = 0;
    for (double r : readings) {
        squares += (r - mean) * (r - mean);
    }
    double deviation = std::sqrt(squares / 199);
    auto [minimum, maximum] = std::minmax_element(readings.begin(), readings.end());

    std::vector<double> all = Fields(Query("CALCulate:AVERage:ALL?"));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_NEAR(all[0], mean, 1e-8);
    EXPECT_NEAR(all[1], deviation, deviation * 1e-3);
    EXPECT_DOUBLE_EQ(all[2], *maximum);
    EXPECT_DOUBLE_EQ(all[3], *minimum);
    EXPECT_NEAR(Number("CALCulate:AVERage:PTPeak?"), *maximum - *minimum, 1e-8);
    EXPECT_EQ(Query("CALCulate:AVERage:COUNt?"), "+200\n");

    Send("CALCulate:AVERage:CLEar");
    EXPECT_EQ(Query("CALCulate:AVERage:COUNt?"), "+0\n");
    EXPECT_EQ(Query("CALCulate:AVERage:ALL?"),
              "+0.00000000E+00,+0.00000000E+00,+0.00000000E+00,+0.00000000E+00\n");
}

TEST_F(MeterAnalysis, OverloadsAreTrendedButNotAveragedOrBinned) {
    Send("CALC:AVER:CLE");
    Send("CALC:TRAN:HIST:CLE");
    Send("CALC:TREN:CHAR:CLE");
    Send("CALC:TREN:CHAR:MOD ALL");
    Poll(5);
    Send("SIM:INP 5");
    Send("VOLT:DC:RANGE 2");
    Poll(3);
    EXPECT_EQ(Number("CALC:AVER:COUN?"), 5);
    std::vector<double> trend = Fields(Query("CALC:TREN:CHAR:DATA?"));
    ASSERT_EQ(trend.size(), 8u);
    EXPECT_EQ(trend.back(), 9.9e37);
    EXPECT_EQ(Fields(Query("CALC:TRAN:HIST:ALL?"))[2], 5);
}

TEST_F(MeterAnalysis, LimitsCountReadingsOutside) {
    Send("CALC:LIM:LOW 1.0");
    Send("CALC:LIM:UPP 1.1");
    Send("CALC:LIM:STAT 1");
    Poll(4);
    EXPECT_EQ(Query("CALC:LIM:FAIL?"), "+4\n");  // 1.234 V lies above
    Send("CALC:LIM:UPP 2");
    Poll(4);
    EXPECT_EQ(Query("CALC:LIM:FAIL?"), "+4\n");
}

TEST_F(MeterAnalysis, TrendRecentIsTheLast401OldestFirst) {
    Send("CALC:TREN:CHAR:CLE");
    std::vector<double> few = Poll(3);
    EXPECT_EQ(Fields(Query("CALCulate:TRENd:CHARt:DATA?")), few);

    std::vector<double> readings = Poll(450);
    std::vector<double> recent = Fields(Query("CALCulate:TRENd:CHARt:DATA?"));
    ASSERT_EQ(recent.size(), 401u);
    EXPECT_TRUE(std::equal(recent.begin(), recent.end(), readings.end() - 401));

    Send("CALCulate:TRENd:CHARt:MODe ALL");
    std::vector<double> all = Fields(Query("CALCulate:TRENd:CHARt:DATA?"));
    ASSERT_EQ(all.size(), 453u);
    EXPECT_TRUE(std::equal(all.begin() + 3, all.end(), readings.begin()));

    // A new function starts a new record.
    Send("FUNC \"CURR\"");
    EXPECT_EQ(Query("CALCulate:TRENd:CHARt:DATA?"), "\n");
}

TEST_F(MeterAnalysis, TrendAllIsBoundedToOneMebibyte) {
    Send("VOLT:DC:NPLC 0.02");  // 2.4 ms per reading
    Send("CALC:TREN:CHAR:MOD ALL");
    Advance(300s);
    std::string last = Query("DATA:LAST?");
    std::string reply = Query("CALCulate:TRENd:CHARt:DATA?");
    EXPECT_LE(reply.size(), 1048576u);
    EXPECT_EQ(reply.back(), '\n');
    std::vector<double> all = Fields(reply);
    EXPECT_EQ(all.size(), 65535u);
    EXPECT_EQ(all.back(), std::strtod(last.c_str(), nullptr));  // the newest last
}

TEST_F(MeterAnalysis, HistogramWithAutomaticRangeSpansTheReadings) {
    Send("CALC:TRAN:HIST:CLE");
    EXPECT_EQ(Fields(Query("CALC:TRAN:HIST:ALL?")).size(), 405u);
    EXPECT_EQ(Fields(Query("CALC:TRAN:HIST:ALL?"))[2], 0);
    std::vector<double> readings = Poll(300);
    std::vector<double> h = Fields(Query("CALCulate:TRANsform:HISTogram:ALL?"));
    ASSERT_EQ(h.size(), 4u + 400u + 1u);
    EXPECT_DOUBLE_EQ(h[0], *std::min_element(readings.begin(), readings.end()));
    EXPECT_DOUBLE_EQ(h[1], *std::max_element(readings.begin(), readings.end()));
    EXPECT_EQ(h[2], 300);
    EXPECT_EQ(h[3], 0);
    EXPECT_EQ(h.back(), 0);
    EXPECT_EQ(std::accumulate(h.begin() + 4, h.end() - 1, 0.0), 300);
    EXPECT_GT(h[4], 0);    // the smallest reading
    EXPECT_GT(h[403], 0);  // the largest
    EXPECT_EQ(Query("CALCulate:TRANsform:HISTogram:RANGe:AUTO?"), "1\n");
}

TEST_F(MeterAnalysis, HistogramWithManualRangeBinsBetweenTheBounds) {
    std::vector<double> readings = Poll(300);
    double mean = std::accumulate(readings.begin(), readings.end(), 0.0) / 300;
    double lower = std::round((mean - 0.00002) * 1e3) / 1e3;  // three decimals, as sent
    double upper = lower + 0.001;
    Send("CALC:TRAN:HIST:RANG:AUTO 0");
    Send("CALC:TRAN:HIST:POIN 10");
    Send("CALC:TRAN:HIST:RANG:LOW " + std::to_string(lower));
    Send("CALC:TRAN:HIST:RANG:UPP " + std::to_string(upper));
    std::vector<double> h = Fields(Query("CALC:TRAN:HIST:ALL?"));
    ASSERT_EQ(h.size(), 4u + 10u + 1u);
    EXPECT_NEAR(h[0], lower, 1e-12);
    EXPECT_NEAR(h[1], upper, 1e-12);
    EXPECT_EQ(h[2], 300);
    double below = static_cast<double>(
        std::count_if(readings.begin(), readings.end(), [&](double r) { return r < lower; }));
    double above = static_cast<double>(
        std::count_if(readings.begin(), readings.end(), [&](double r) { return r > upper; }));
    EXPECT_EQ(h[3], below);
    EXPECT_EQ(h.back(), above);
    EXPECT_EQ(h[3] + std::accumulate(h.begin() + 4, h.end() - 1, 0.0) + h.back(), 300);
    for (size_t bin = 0; bin < 10; ++bin) {
        double from = lower + (upper - lower) * static_cast<double>(bin) / 10;
        double to = lower + (upper - lower) * static_cast<double>(bin + 1) / 10;
        double expected = static_cast<double>(std::count_if(
            readings.begin(), readings.end(), [&](double r) { return r >= from && r < to; }));
        EXPECT_NEAR(h[4 + bin], expected, 1) << "bin " << bin;
    }
    // Bounds the wrong way round or equal: everything is outside, no division.
    Send("CALC:TRAN:HIST:RANG:LOW 5");
    Send("CALC:TRAN:HIST:RANG:UPP 5");
    h = Fields(Query("CALC:TRAN:HIST:ALL?"));
    EXPECT_EQ(h[3], 300);
    Send("CALC:TRAN:HIST:POIN 400");
    EXPECT_EQ(Fields(Query("CALC:TRAN:HIST:ALL?")).size(), 405u);
    ExpectNoError();
}

}  // namespace
}  // namespace kvt::sim::testing
