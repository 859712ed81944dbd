// The meter's command set as the program sends it: each setting written and
// read back in the reply form the program parses, and the error queue for
// what the meter rejects.
#include <string>
#include <vector>

#include "tests/sim/MeterFixture.h"

namespace kvt::sim::testing {
namespace {

struct RoundTrip {
    const char* command;
    const char* query;
    const char* reply;
};

using MeterCommands = MeterFixture;

TEST_F(MeterCommands, IdentityFunctionAndCommonCommands) {
    EXPECT_EQ(Query("*IDN?"), std::string(MeterModel::kIdentity) + "\n");
    EXPECT_EQ(Query("FUNCTION?"), "\"VOLT\"\n");
    const std::vector<std::pair<const char*, const char*>> functions = {
        {"FUNC \"VOLT:DC\"", "\"VOLT\"\n"},
        {"FUNC \"CURR:DC\"", "\"CURR\"\n"},
        {"FUNC \"VOLT:AC\"", "\"VOLT:AC\"\n"},
        {"FUNC \"CURR:AC\"", "\"CURR:AC\"\n"},
        {"FUNC \"RES\"", "\"RES\"\n"},
        {"FUNC \"FRES\"", "\"FRES\"\n"},
        {"FUNC \"CAP\"", "\"CAP\"\n"},
        {"FUNC \"FREQ\"", "\"FREQ\"\n"},
        {"FUNC \"PER\"", "\"PER\"\n"},
        {"FUNC \"CONT\"", "\"CONT\"\n"},
        {"FUNC \"DIOD\"", "\"DIOD\"\n"},
        {"FUNC \"TEMP\"", "\"TEMP\"\n"},
        {"function 'voltage:ac'", "\"VOLT:AC\"\n"},
    };
    for (const auto& [command, reply] : functions) {
        Send(command);
        EXPECT_EQ(Query("FUNCTION?"), reply) << command;
    }
    ExpectNoError();
    // Queries of one message share one response.
    EXPECT_EQ(Query("*OPC?;FUNC?"), "1;\"VOLT:AC\"\n");
    EXPECT_EQ(Query("ECHO? a,b"), "a,b\n");
}

TEST_F(MeterCommands, PerFunctionSettingsReadBack) {
    const std::vector<RoundTrip> trips = {
        {"VOLT:DC:RANGE 0.200", "VOLT:DC:RANGE?", "+2.00000000E-01\n"},
        {"VOLT:DC:RANGE 1000", "VOLT:DC:RANGE:AUTO?", "0\n"},
        {"VOLT:DC:RANGE:AUTO ON", "VOLT:DC:RANGE:AUTO?", "1\n"},
        {"VOLT:DC:NPLC 10", "VOLT:DC:NPLC?", "+1.00000000E+01\n"},
        {"VOLT:DC:NPLC 0.3", "VOLT:DC:NPLC?", "+3.00000000E-01\n"},
        {"VOLT:DC:FILTER ON", "VOLT:DC:FILTER?", "1\n"},
        {"VOLT:DC:INPUTZ 10G", "VOLT:DC:IMP?", "10G\n"},
        {"VOLT:DC:INPUTZ 10M", "VOLT:DC:IMP?", "10M\n"},
        {"VOLT:DC:NULL ON", "VOLT:DC:NULL?", "1\n"},
        {"CURR:DC:RANGE 0.000200", "CURR:DC:RANGE?", "+2.00000000E-04\n"},
        {"CURR:DC:RANGE 2", "CURR:DC:RANGE?", "+2.00000000E+00\n"},
        {"CURR:DC:FILTER OFF", "CURR:DC:FILTER?", "0\n"},
        {"VOLT:AC:RANGE 0.200000", "VOLT:AC:RANGE?", "+2.00000000E-01\n"},
        {"VOLT:AC:RANGE 750", "VOLT:AC:RANGE?", "+7.50000000E+02\n"},
        {"VOLT:AC:NPLC 1", "VOLT:AC:NPLC?", "+1.00000000E+00\n"},
        {"CURR:AC:RANGE 0.020", "CURR:AC:RANGE?", "+2.00000000E-02\n"},
        {"CURR:AC:NULL ON", "CURR:AC:NULL?", "1\n"},
        {"RES:RANGE 100000000.0", "RES:RANGE?", "+1.00000000E+08\n"},
        {"RES:RANGE 2000.0", "RES:RANGE?", "+2.00000000E+03\n"},
        {"FRES:RANGE 200", "FRES:RANGE?", "+2.00000000E+02\n"},
        {"FRES:NPLC 10", "FRES:NPLC?", "+1.00000000E+01\n"},
        {"CAP:RANGE 0.0000000020", "CAP:RANGE?", "+2.00000000E-09\n"},
        {"CAP:RANGE 0.0100000000", "CAP:RANGE?", "+1.00000000E-02\n"},
        {"CAP:NULL ON", "CAP:NULL?", "1\n"},
        {"FREQ:VOLT:RANGE 0.200000", "FREQ:VOLT:RANGE?", "+2.00000000E-01\n"},
        {"FREQ:RANGE:AUTO ON", "FREQ:VOLT:RANGE:AUTO?", "1\n"},
        {"FREQ:NULL OFF", "FREQ:NULL?", "0\n"},
        {"CONT:THR:VALUE 0050", "CONT:THR:VALUE?", "+5.00000000E+01\n"},
        {"CONT:THR:VALUE 1951", "CONT:THR:VALUE?", "+1.95100000E+03\n"},
        {"SYST:BEEP:STAT OFF", "SYST:BEEP:STATE?", "0\n"},
        {"SYST:BEEP:STAT ON", "SYST:BEEP:STATE?", "1\n"},
        {"UNIT:TEMP F", "UNIT:TEMP?", "F\n"},
        {"UNIT:TEMP K", "UNIT:TEMP?", "K\n"},
        {"TEMP:NULL ON", "TEMP:NULL?", "1\n"},
        {"TRIG:COUN 5", "TRIG:COUN?", "+5.00000000E+00\n"},
        {"TRIG:COUN INF", "TRIG:COUN?", "+9.90000000E+37\n"},
        {"TRIG:DEL 0.250", "TRIG:DEL?", "+2.50000000E-01\n"},
        {"TRIG:DEL:AUTO ON", "TRIG:DEL:AUTO?", "1\n"},
        {"OUTP:TRIG:SLOP POS", "OUTP:TRIG:SLOP?", "POS\n"},
        {"OUTP:TRIG:SLOP NEG", "OUTP:TRIG:SLOP?", "NEG\n"},
        {"SAMP:COUN 3", "SAMP:COUN?", "+3.00000000E+00\n"},
    };
    for (const RoundTrip& trip : trips) {
        Send(trip.command);
        EXPECT_EQ(Query(trip.query), trip.reply) << trip.command;
    }
    ExpectNoError();
}

TEST_F(MeterCommands, AnalysisSettingsReadBack) {
    const std::vector<RoundTrip> trips = {
        {"CALCulate:LIMit:STATe 1", "CALCulate:LIMit:STATe?", "1\n"},
        {"CALCulate:LIMit:LOWer -0.000500000000", "CALCulate:LIMit:LOWer?", "-5.00000000E-04\n"},
        {"CALCulate:LIMit:UPPer 1.500000000000", "CALCulate:LIMit:UPPer?", "+1.50000000E+00\n"},
        {"CALCulate:SCALe:STATe 1", "CALCulate:SCALe:STATe?", "1\n"},
        {"CALCulate:SCALe:FUNCtion DB", "CALCulate:SCALe:FUNCtion?", "DB\n"},
        {"CALCulate:SCALe:FUNCtion DBM", "CALCulate:SCALe:FUNCtion?", "DBM\n"},
        {"CALCulate:SCALe:DB:REFerence -10", "CALCulate:SCALe:DB:REFerence?", "-1.00000000E+01\n"},
        {"CALCulate:SCALe:DBM:REFerence 50", "CALCulate:SCALe:DBM:REFerence?", "+5.00000000E+01\n"},
        {"CALCulate:SCALe:REFerence:AUTO 1", "CALCulate:SCALe:REFerence:AUTO?", "1\n"},
        {"CALCulate:TRENd:CHARt:MODe ALL", "CALCulate:TRENd:CHARt:MODe?", "ALL\n"},
        {"CALCulate:TRENd:CHARt:MODe REC", "CALCulate:TRENd:CHARt:MODe?", "REC\n"},
        {"CALCulate:TRANsform:HISTogram:RANGe:AUTO 0", "CALCulate:TRANsform:HISTogram:RANGe:AUTO?",
         "0\n"},
        {"CALCulate:TRANsform:HISTogram:POINts 40", "CALC:TRAN:HIST:POIN?", "+40\n"},
        {"CALCulate:TRANsform:HISTogram:RANGe:LOWer 1.235", "CALC:TRAN:HIST:RANG:LOW?",
         "+1.23500000E+00\n"},
        {"CALCulate:TRANsform:HISTogram:RANGe:UPPer 2.000", "CALC:TRAN:HIST:RANG:UPP?",
         "+2.00000000E+00\n"},
    };
    for (const RoundTrip& trip : trips) {
        Send(trip.command);
        EXPECT_EQ(Query(trip.query), trip.reply) << trip.command;
    }
    ExpectNoError();
}

TEST_F(MeterCommands, TemperatureTransducersListsAndPoints) {
    EXPECT_EQ(Query("TEMP:TRAN?"), "THER,MDEF,KITS90\n");
    std::string builtIn = Query("TEMP:MDEF:THER:TRAN:LIST?");
    EXPECT_EQ(builtIn,
              "THER BITS90,THER EITS90,THER JITS90,THER KITS90,THER NITS90,THER RITS90,"
              "THER SITS90,THER TITS90\n");
    EXPECT_LT(builtIn.size(), 256u);
    EXPECT_EQ(Query("TEMP:MDEF:RTD:TRAN:LIST?"), "RTD PT100,RTD PT200,RTD PT500,RTD PT1000\n");
    EXPECT_EQ(Query("TEMP:UDEF:THER:TRAN:LIST?"), "THER CUSTOM_TC1\n");
    EXPECT_EQ(Query("TEMP:UDEF:RTD:TRAN:LIST?"), "NONE\n");

    std::string points = Query("TEMP:MDEF:THER:TRAN:POIN? KITS90");
    EXPECT_EQ(points.rfind("0|-5.891|-200,1|-3.554|-100,2|0.000|0,", 0), 0u) << points;
    EXPECT_LT(points.size(), 10240u);
    std::string rtd = Query("TEMP:MDEF:RTD:TRAN:POIN? PT100");
    EXPECT_NE(rtd.find("|100.000|0,"), std::string::npos) << rtd;  // R0 at 0 °C

    Send("TEMP:MDEF:RTD:TRAN PT1000");
    EXPECT_EQ(Query("TEMP:TRAN?"), "RTD,MDEF,PT1000\n");
    Send("TEMP:UDEF:THER:TRAN CUSTOM_TC1");
    EXPECT_EQ(Query("TEMP:TRAN?"), "THER,UDEF,CUSTOM_TC1\n");
    ExpectNoError();

    Send("TEMP:MDEF:THER:TRAN NOSUCH");
    EXPECT_EQ(NextError(), -224);
    EXPECT_EQ(Query("TEMP:TRAN?"), "THER,UDEF,CUSTOM_TC1\n");
    EXPECT_EQ(Query("TEMP:UDEF:RTD:TRAN:POIN? PT100"), "");  // a built-in name, not a user one
    EXPECT_EQ(NextError(), -224);
}

TEST_F(MeterCommands, RejectedCommandsGoToTheErrorQueue) {
    const std::vector<std::pair<const char*, int>> rejected = {
        {"FOO", -113},
        {"VOLT:AC:FILTER ON", -113},  // AC voltage has no filter
        {"CAP:NPLC 1", -113},
        {"VOLT::RANGE 2", -113},
        {"VOLT:DC:RANGE 5000", -222},
        {"VOLT:DC:RANGE -1", -222},
        {"VOLT:DC:NPLC abc", -104},
        {"VOLT:DC:NPLC 500", -222},
        {"VOLT:DC:FILTER MAYBE", -224},
        {"VOLT:DC:INPUTZ 1G", -224},
        {"FUNC \"XYZ\"", -224},
        {"FUNC VOLT", -151},
        {"SAMP:COUN ", -109},
        {"SAMP:COUN 0", -222},
        {"TRIG:DEL -1", -222},
        {"*IDN? extra", -108},
        {"CALC:TRAN:HIST:POIN 0", -222},
        {"CALC:SCAL:FUNC DBW", -224},
        {"CALC:SCAL:DBM:REF 0", -222},
        {"CALC:TREN:CHAR:MOD SOME", -224},
        {"CONT:THR:VALUE 2500", -222},
        {"$$SY_FP 99", -224},
        {"$$SY_FP x", -104},
        {"UNIT:TEMP R", -224},
    };
    for (const auto& [command, code] : rejected) {
        Send(command);
        EXPECT_EQ(NextError(), code) << command;
        ExpectNoError();
    }
    // Rejected settings leave the old ones in place.
    EXPECT_EQ(Query("VOLT:DC:NPLC?"), "+1.00000000E+00\n");
    EXPECT_EQ(Query("SAMP:COUN?"), "+1.00000000E+00\n");
}

TEST_F(MeterCommands, ErrorQueueIsBoundedAndClearedByCls) {
    for (int i = 0; i < 30; ++i) {
        Send("NOPE");
    }
    for (size_t i = 0; i + 1 < ErrorQueue::kCapacity; ++i) {
        EXPECT_EQ(NextError(), -113);
    }
    EXPECT_EQ(Query("SYST:ERR?"), "-350,\"Queue overflow\"\n");
    ExpectNoError();
    Send("NOPE");
    EXPECT_EQ(m_meter.StatusByte() & 0x04, 0x04);
    EXPECT_EQ(Query("*ESR?"), "+32\n");  // command error
    Send("*CLS");
    EXPECT_EQ(m_meter.StatusByte() & 0x04, 0);
    ExpectNoError();
}

TEST_F(MeterCommands, PanelKeysActOnRangeAndTrigger) {
    Send("VOLT:DC:RANGE 2");
    Send("$$SY_FP 14");
    EXPECT_EQ(Query("VOLT:DC:RANGE?"), "+2.00000000E+01\n");
    Send("$$SY_FP 16");
    Send("$$SY_FP 16");
    EXPECT_EQ(Query("VOLT:DC:RANGE?"), "+2.00000000E-01\n");
    Send("$$SY_FP 15");
    EXPECT_EQ(Query("VOLT:DC:RANGE:AUTO?"), "1\n");
    Send("$$SY_FP 15");
    EXPECT_EQ(Query("VOLT:DC:RANGE:AUTO?"), "0\n");

    // Single: one burst of the sample count, then the meter holds.
    Send("VOLT:DC:RANGE:AUTO ON");
    Send("SAMP:COUN 3");
    Send("$$SY_FP 6");
    Advance(std::chrono::seconds(10));
    EXPECT_EQ(Number("CALC:AVER:COUN?"), 3);
    Advance(std::chrono::seconds(10));
    EXPECT_EQ(Number("CALC:AVER:COUN?"), 3);
    // Run: measures again without end.
    Send("$$SY_FP 21");
    Advance(std::chrono::seconds(1));
    EXPECT_GT(Number("CALC:AVER:COUN?"), 30);
    Send("$$SY_FP 24");
    Send("$$SY_FP 13");
    ExpectNoError();
}

}  // namespace
}  // namespace kvt::sim::testing
