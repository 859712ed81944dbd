// One meter, three ways in: the in-process simulation, VXI-11 and the raw
// socket of korvata-sim. The same script of settings and queries must get
// byte-identical replies on every path, so what the program sees does not
// depend on how the meter is reached.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "sim/SimulatedMeter.h"
#include "tests/support/SimProcess.h"
#include "visa/visa.h"

namespace {

// Settings, queries of what they set, an error, and the test echo. Readings
// and what is derived from them depend on time and are left out.
const std::vector<std::string> kScript = {
    "*RST",
    "*CLS",
    "*IDN?",
    "FUNCTION?",
    "FUNC \"VOLT:AC\"",
    "FUNCTION?",
    "VOLT:AC:RANGE:AUTO?",
    "VOLT:AC:RANGE?",
    "FUNC \"VOLT:DC\"",
    "VOLT:DC:RANGE:AUTO OFF",
    "VOLT:DC:RANGE 20",
    "VOLT:DC:RANGE?",
    "VOLT:DC:RANGE:AUTO?",
    "VOLT:DC:IMP?",
    "CALCulate:LIMit:UPPer 1.5",
    "CALCulate:LIMit:UPPer?",
    "CALCulate:LIMit:LOWer?",
    "CALCulate:LIMit:STATe?",
    "CALCulate:SCALe:FUNCtion?",
    "CALCulate:TRENd:CHARt:MODe?",
    "CALCulate:TRANsform:HISTogram:RANGe:AUTO?",
    "TEMP:TRAN?",
    "UNIT:TEMP?",
    "SYST:BEEP:STATE?",
    "CONT:THR:VALUE?",
    "NOT:A:COMMAND",
    "SYST:ERR?",
    "SYST:ERR?",
    "ECHO? the same on every path",
};

// A raw socket has no END: each message is ended with a line feed there.
std::vector<std::string> RunScript(ViSession vi, const std::string& terminator) {
    std::vector<std::string> replies;
    for (const std::string& script : kScript) {
        const std::string command = script + terminator;
        ViUInt32 count = 0;
        ViStatus status = viWrite(vi, reinterpret_cast<ViConstBuf>(command.data()),
                                  static_cast<ViUInt32>(command.size()), &count);
        if (status < VI_SUCCESS) {
            replies.push_back("write failed: " + script);
            continue;
        }
        if (script.find('?') == std::string::npos) {
            continue;
        }
        char reply[1024] = {};
        status = viRead(vi, reinterpret_cast<ViBuf>(reply), sizeof reply, &count);
        replies.push_back(status < VI_SUCCESS ? "read failed: " + script
                                              : std::string(reply, count));
    }
    return replies;
}

std::vector<std::string> RunOn(ViSession rm, const std::string& resource,
                               const std::string& terminator = "") {
    ViSession vi = VI_NULL;
    ViStatus status = viOpen(rm, resource.c_str(), VI_NO_LOCK, 0, &vi);
    EXPECT_EQ(status, VI_SUCCESS) << resource;
    if (status < VI_SUCCESS) {
        return {};
    }
    std::vector<std::string> replies = RunScript(vi, terminator);
    viClose(vi);
    return replies;
}

TEST(SameReplies, InProcessVxi11AndSocketAgree) {
    kvt::test::SimProcess sim({"--vxi11", "--portmapper", "0"});
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    ViSession rm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);

    kvt::sim::InstallSimulatedMeter();
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    std::vector<std::string> inProcess = RunOn(rm, "TCPIP0::127.0.0.1::inst0::INSTR");
    unsetenv("KORVATA_VISA_SIMULATE");

    setenv("KORVATA_VISA_PORTMAPPER_PORT", std::to_string(sim.Port("portmapper")).c_str(), 1);
    std::vector<std::string> overVxi11 = RunOn(rm, "TCPIP0::127.0.0.1::inst0::INSTR");
    unsetenv("KORVATA_VISA_PORTMAPPER_PORT");
    std::vector<std::string> overSocket =
        RunOn(rm, "TCPIP0::127.0.0.1::" + std::to_string(sim.Port("socket")) + "::SOCKET", "\n");
    viClose(rm);

    // The script itself must mean something: an identity, the function
    // switch, the limit that was set and the rejected command.
    ASSERT_EQ(inProcess.size(), 21u);
    EXPECT_EQ(inProcess[0].rfind("KORVATA,", 0), 0u);
    EXPECT_NE(inProcess[1], inProcess[2]);
    EXPECT_EQ(inProcess[5], "+2.00000000E+01\n");
    EXPECT_EQ(inProcess[18].rfind("-113", 0), 0u) << inProcess[18];
    EXPECT_EQ(inProcess.back(), "the same on every path\n");

    EXPECT_EQ(overVxi11, inProcess);
    EXPECT_EQ(overSocket, inProcess);
}

}  // namespace
