// Readings: values per function, ranging and overload, null, dB/dBm,
// temperature units and sensor values, pacing on the clock, determinism.
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "tests/sim/MeterFixture.h"

namespace kvt::sim::testing {
namespace {

using namespace std::chrono_literals;
using MeterReadings = MeterFixture;

TEST_F(MeterReadings, EveryFunctionReadsPlausiblyWithItsUnit) {
    struct Expectation {
        const char* function;
        const char* unit;
        double low;
        double high;
    };
    const std::vector<Expectation> expectations = {
        {"VOLT:DC", "VDC", 1.2, 1.25},      {"VOLT:AC", "VAC", 0.69, 0.72},
        {"CURR:DC", "ADC", 0.015, 0.016},   {"CURR:AC", "AAC", 0.09, 0.11},
        {"RES", "OHM", 990, 1010},          {"FRES", "OHM", 109, 110.5},
        {"CAP", "F", 99e-9, 101e-9},        {"FREQ", "HZ", 999, 1001},
        {"PER", "SEC", 0.000999, 0.001001}, {"CONT", "OHM", 0.1, 1},
        {"DIOD", "VDC", 0.6, 0.65},         {"TEMP", "C", 22, 25},
    };
    EXPECT_EQ(Number("DATA:LAST?"), 9.91e37);  // nothing measured yet
    for (const Expectation& e : expectations) {
        Send(std::string("FUNC \"") + e.function + "\"");
        Advance(500ms);
        std::string reply = Query("DATA:LAST?");
        size_t blank = reply.find(' ');
        ASSERT_NE(blank, std::string::npos) << reply;
        EXPECT_EQ(reply.substr(blank + 1), std::string(e.unit) + "\n") << e.function;
        double value = std::strtod(reply.c_str(), nullptr);
        EXPECT_GE(value, e.low) << e.function << " " << reply;
        EXPECT_LE(value, e.high) << e.function << " " << reply;
        EXPECT_TRUE(reply[0] == '+' || reply[0] == '-');
        EXPECT_EQ(reply.find('E'), 11u) << reply;  // +d.ddddddddE+xx
    }
}

TEST_F(MeterReadings, AutoRangingFollowsTheInputAndManualRangesOverload) {
    Advance(100ms);
    EXPECT_EQ(Query("VOLT:DC:RANGE?"), "+2.00000000E+00\n");
    Send("SIM:INP 0.15");
    Advance(100ms);
    EXPECT_EQ(Query("VOLT:DC:RANGE?"), "+2.00000000E-01\n");
    EXPECT_NEAR(Number("DATA:LAST?"), 0.15, 0.001);
    Send("SIM:INP 150");
    Advance(100ms);
    EXPECT_EQ(Query("VOLT:DC:RANGE?"), "+2.00000000E+02\n");
    Send("SIM:INP 1500");  // beyond 120 % of the largest range
    Advance(100ms);
    EXPECT_EQ(Number("DATA:LAST?"), 9.9e37);

    // Manual: up to 120 % of the range reads, above overloads, with the sign.
    Send("SIM:INP 0.23");
    Send("VOLT:DC:RANGE 0.200");
    Advance(100ms);
    EXPECT_NEAR(Number("DATA:LAST?"), 0.23, 0.001);
    Send("SIM:INP 0.25");
    Advance(100ms);
    EXPECT_EQ(Query("DATA:LAST?"), "+9.90000000E+37 VDC\n");
    Send("SIM:INP -0.25");
    Advance(100ms);
    EXPECT_EQ(Query("DATA:LAST?"), "-9.90000000E+37 VDC\n");
    EXPECT_EQ(Query("VOLT:DC:RANGE?"), "+2.00000000E-01\n");  // manual stays

    // Frequency ranges on the signal's amplitude (0.95 V).
    Send("FUNC \"FREQ\"");
    Send("FREQ:VOLT:RANGE 0.200000");
    Advance(300ms);
    EXPECT_EQ(Number("DATA:LAST?"), 9.9e37);
    Send("FREQ:RANGE:AUTO ON");
    Advance(300ms);
    EXPECT_EQ(Query("FREQ:VOLT:RANGE?"), "+2.00000000E+00\n");
    EXPECT_NEAR(Number("DATA:LAST?"), 1000, 0.1);
}

TEST_F(MeterReadings, NullSubtractsTheFirstReadingAfterSwitchingOn) {
    Send("VOLT:DC:NPLC 10");
    Advance(1s);
    double before = Number("DATA:LAST?");
    Send("VOLT:DC:NULL ON");
    Advance(1s);
    double offset = Number("VOLT:DC:NULL:VAL?");
    EXPECT_NEAR(offset, before, 1e-4);
    EXPECT_NEAR(Number("DATA:LAST?"), 0, 1e-4);
    Send("SIM:INP 1.5");
    Advance(1s);
    EXPECT_NEAR(Number("DATA:LAST?"), 1.5 - offset, 1e-3);
    Send("VOLT:DC:NULL OFF");
    Advance(1s);
    EXPECT_NEAR(Number("DATA:LAST?"), 1.5, 1e-3);
}

TEST_F(MeterReadings, DbAndDbmScaleVoltageReadings) {
    Send("SIM:INP 0.7746");  // 1 mW into 600 Ω
    Send("VOLT:DC:INPUTZ 10G");
    Send("CALC:SCAL:FUNC DBM");
    Send("CALC:SCAL:DBM:REF 600");
    Send("CALC:SCAL:STAT 1");
    Advance(200ms);
    std::string reply = Query("DATA:LAST?");
    EXPECT_NEAR(std::strtod(reply.c_str(), nullptr), 0.0, 0.01) << reply;
    EXPECT_NE(reply.find(" DBM\n"), std::string::npos);
    Send("CALC:SCAL:DBM:REF 50");
    Advance(200ms);
    EXPECT_NEAR(Number("DATA:LAST?"), 10 * std::log10(0.7746 * 0.7746 / 50 / 1e-3), 0.01);

    Send("CALC:SCAL:FUNC DB");
    Send("CALC:SCAL:DB:REF 3");
    Advance(200ms);
    EXPECT_NEAR(Number("DATA:LAST?"), 10 * std::log10(0.7746 * 0.7746 / 50 / 1e-3) - 3, 0.01);
    EXPECT_NE(Query("DATA:LAST?").find(" DB\n"), std::string::npos);
    // Automatic reference: the first reading becomes 0 dB.
    Send("CALC:SCAL:REF:AUTO 1");
    Advance(200ms);
    EXPECT_NEAR(Number("DATA:LAST?"), 0, 0.01);
    Send("SIM:INP 7.746");
    Advance(200ms);
    EXPECT_NEAR(Number("DATA:LAST?"), 20, 0.01);
    // Scaling belongs to the voltage functions only.
    Send("FUNC \"RES\"");
    Advance(500ms);
    EXPECT_NE(Query("DATA:LAST?").find(" OHM\n"), std::string::npos);
}

TEST_F(MeterReadings, TemperatureUnitsAndSensorValue) {
    Send("FUNC \"TEMP\"");
    Advance(200ms);
    double celsius = Number("DATA:LAST?");
    std::string cad = Query("TEMP:CAD?");
    // "KITS90|+9.4...E-04,V": the type K voltage at about 23.5 °C.
    ASSERT_EQ(cad.rfind("KITS90|", 0), 0u) << cad;
    double volts = std::strtod(cad.c_str() + 7, nullptr);
    EXPECT_NEAR(volts, celsius * 4.096e-5, 2e-5);
    EXPECT_EQ(cad.substr(cad.rfind(',')), ",V\n");

    Send("UNIT:TEMP K");
    Advance(200ms);
    std::string kelvin = Query("DATA:LAST?");
    EXPECT_NEAR(std::strtod(kelvin.c_str(), nullptr), celsius + 273.15, 0.5);
    EXPECT_EQ(kelvin.substr(kelvin.find(' ')), " K\n");
    Send("UNIT:TEMP F");
    Advance(200ms);
    EXPECT_NEAR(Number("DATA:LAST?"), celsius * 1.8 + 32, 1);

    Send("TEMP:MDEF:RTD:TRAN PT100");
    Advance(200ms);
    cad = Query("TEMP:CAD?");
    ASSERT_EQ(cad.rfind("PT100|", 0), 0u) << cad;
    EXPECT_NEAR(std::strtod(cad.c_str() + 6, nullptr), 109.1, 0.5);  // PT100 near 23.5 °C
    EXPECT_EQ(cad.substr(cad.rfind(',')), ",OHM\n");
}

TEST_F(MeterReadings, ReadingsArriveAtTheIntegrationPace) {
    // 1 PLC at 50 Hz is 20 ms, plus 2 ms of conversion: 45 readings a second.
    Send("CALC:AVER:CLE");
    Advance(1s);
    EXPECT_NEAR(Number("CALC:AVER:COUN?"), 45, 1);
    Send("VOLT:DC:NPLC 10");
    Send("CALC:AVER:CLE");
    Advance(2s);
    EXPECT_NEAR(Number("CALC:AVER:COUN?"), 9, 1);
    Send("VOLT:DC:NPLC 0.3");
    Send("CALC:AVER:CLE");
    Advance(1s);
    EXPECT_NEAR(Number("CALC:AVER:COUN?"), 125, 1);
    // Nothing moves while the clock stands still.
    std::string last = Query("DATA:LAST?");
    EXPECT_EQ(Query("DATA:LAST?"), last);
}

TEST_F(MeterReadings, NoiseShrinksWithIntegrationTimeAndFilter) {
    auto deviationAt = [&](const char* setup) {
        Send(setup);
        Send("CALC:AVER:CLE");
        Advance(20s);
        return Number("CALC:AVER:SDEV?");
    };
    double fast = deviationAt("VOLT:DC:NPLC 0.3");
    double slow = deviationAt("VOLT:DC:NPLC 10");
    double filtered = deviationAt("VOLT:DC:FILT ON");
    EXPECT_GT(fast, 3 * slow);
    EXPECT_GT(slow, 2 * filtered);
    EXPECT_GT(filtered, 0);
}

TEST_F(MeterReadings, SameSeedAndClockGiveTheSameReadings) {
    auto run = [](uint64_t seed) {
        auto clock = std::make_shared<ManualClock>();
        MeterModel meter(seed, clock);
        std::string replies;
        for (int i = 0; i < 50; ++i) {
            clock->Advance(37ms);
            meter.ReceiveMessage("DATA:LAST?");
            replies += meter.TakeResponse();
        }
        return replies;
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
}

TEST_F(MeterReadings, LongGapsAreCaughtUpWithBoundedWork) {
    Send("VOLT:DC:NPLC 0.02");
    Advance(std::chrono::hours(24 * 365));
    // A year of missed readings is caught up without taking each one.
    std::string reply = Query("DATA:LAST?");
    EXPECT_NEAR(std::strtod(reply.c_str(), nullptr), 1.2344, 0.01);
    // The statistics hold at most the readings the record keeps, give or take
    // a burst.
    EXPECT_LE(Number("CALC:AVER:COUN?"), 65535 + 2);
}

}  // namespace
}  // namespace kvt::sim::testing
