// Per-function settings: the command each soft-key label sends, and the
// label each reply maps back to.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"
#include "tests/link/LinkFixture.h"

namespace kvt::test {
namespace {

using Strings = std::vector<std::string>;
using SettingsCommands = LinkFixture;

struct SetCase {
    std::function<void(std::string_view)> set;
    const char* label;
    const char* command;
};

struct QueryCase {
    std::function<std::string()> get;
    const char* command;
    const char* reply;
    const char* label;
};

class SettingsTable : public LinkFixture {
protected:
    void ExpectSets(const std::vector<SetCase>& cases) {
        for (const SetCase& c : cases) {
            c.set(c.label);
            EXPECT_EQ(Sent(), Strings{c.command}) << "label " << c.label;
        }
        EXPECT_TRUE(PausesMs().empty());
    }
    void ExpectQueries(const std::vector<QueryCase>& cases) {
        for (const QueryCase& c : cases) {
            m_device->Answer(c.command, c.reply);
            EXPECT_EQ(c.get(), c.label) << c.command << " answered " << c.reply;
            EXPECT_EQ(Sent(), Strings{c.command});
        }
        EXPECT_TRUE(Failures().empty());
    }
};

TEST_F(SettingsTable, VoltageRangeCommands) {
    ExpectSets({
        {link::SetVoltDcRange, "Auto", "VOLT:DC:RANGE:AUTO ON"},
        {link::SetVoltDcRange, "200mV", "VOLT:DC:RANGE 0.200"},
        {link::SetVoltDcRange, "2V", "VOLT:DC:RANGE 2"},
        {link::SetVoltDcRange, "1000V", "VOLT:DC:RANGE 1000"},
        // DC voltage compares "Auto" exactly; the others look for it.
        {link::SetVoltDcRange, "Auto ", "VOLT:DC:RANGE Auto"},
        {link::SetVoltAcRange, "[Auto]", "VOLT:AC:RANGE:AUTO ON"},
        {link::SetVoltAcRange, "200mV", "VOLT:AC:RANGE 0.200000"},
        {link::SetVoltAcRange, "750V", "VOLT:AC:RANGE 750"},
        {link::SetFreqRange, "Auto", "FREQ:RANGE:AUTO ON"},
        {link::SetFreqRange, "200mV", "FREQ:VOLT:RANGE 0.200000"},
        {link::SetFreqRange, "20V", "FREQ:VOLT:RANGE 20"},
    });
}

TEST_F(SettingsTable, CurrentRangeCommands) {
    ExpectSets({
        {link::SetCurrDcRange, "Auto", "CURR:DC:RANGE:AUTO ON"},
        {link::SetCurrDcRange, "200uA", "CURR:DC:RANGE 0.000200"},
        {link::SetCurrDcRange, "2000uA", "CURR:DC:RANGE 0.000200"},
        {link::SetCurrDcRange, "2mA", "CURR:DC:RANGE 0.002"},
        {link::SetCurrDcRange, "20mA", "CURR:DC:RANGE 0.020"},
        {link::SetCurrDcRange, "200mA", "CURR:DC:RANGE 0.200"},
        {link::SetCurrDcRange, "2A", "CURR:DC:RANGE 2"},
        {link::SetCurrDcRange, "10A", "CURR:DC:RANGE 10"},
        {link::SetCurrAcRange, "Auto", "CURR:AC:RANGE:AUTO ON"},
        {link::SetCurrAcRange, "20mA", "CURR:AC:RANGE 0.020"},
        // AC current has no microamp range: such a label loses its last letter.
        {link::SetCurrAcRange, "200uA", "CURR:AC:RANGE 200u"},
        {link::SetCurrAcRange, "10A", "CURR:AC:RANGE 10"},
    });
}

TEST_F(SettingsTable, ResistanceAndCapacitanceRangeCommands) {
    ExpectSets({
        {link::SetResRange, "Auto", "RES:RANGE:AUTO ON"},
        {link::SetResRange, "200Ω", "RES:RANGE 200"},
        {link::SetResRange, "2KΩ", "RES:RANGE 2000.0"},
        {link::SetResRange, "10MΩ", "RES:RANGE 10000000.0"},
        {link::SetResRange, "100MΩ", "RES:RANGE 100000000.0"},
        {link::SetFresRange, "Auto", "FRES:RANGE:AUTO ON"},
        {link::SetFresRange, "200Ω", "FRES:RANGE 200"},
        {link::SetFresRange, "20KΩ", "FRES:RANGE 20000.0"},
        {link::SetFresRange, "1MΩ", "FRES:RANGE 1000000.0"},
        {link::SetCapRange, "Auto", "CAP:RANGE:AUTO ON"},
        {link::SetCapRange, "2nF", "CAP:RANGE 0.0000000020"},
        {link::SetCapRange, "200nF", "CAP:RANGE 0.0000002000"},
        {link::SetCapRange, "2uF", "CAP:RANGE 0.0000020000"},
        {link::SetCapRange, "20uF", "CAP:RANGE 0.0000200000"},
        {link::SetCapRange, "10000uF", "CAP:RANGE 0.0100000000"},
    });
    // Not a capacitance range: nothing is sent.
    link::SetCapRange("2pF");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SettingsTable, RangeQueries) {
    ExpectQueries({
        {link::GetVoltDcAutoRange, "VOLT:DC:RANGE:AUTO?", "1\n", "Auto"},
        {link::GetVoltDcAutoRange, "VOLT:DC:RANGE:AUTO?", "0\n", "Manual"},
        {link::GetVoltDcRange, "VOLT:DC:RANGE?", "+2.00000000E-01\n", "200mV"},
        {link::GetVoltDcRange, "VOLT:DC:RANGE?", "+1.00000000E+03\n", "1000V"},
        {link::GetVoltDcRange, "VOLT:DC:RANGE?", "+2.00000000E+00\n", "2V"},
        {link::GetVoltAcAutoRange, "VOLT:AC:RANGE:AUTO?", "1\n", "Auto"},
        {link::GetVoltAcRange, "VOLT:AC:RANGE?", "+7.50000000E+02\n", "750V"},
        {link::GetFreqAutoRange, "FREQ:VOLT:RANGE:AUTO?", "0\n", "Manual"},
        // The frequency range keeps its first character.
        {link::GetFreqRange, "FREQ:VOLT:RANGE?", "20\n", "20V"},
        {link::GetFreqRange, "FREQ:VOLT:RANGE?", "+2.00000000E-01\n", "200mV"},
        {link::GetCurrDcAutoRange, "CURR:DC:RANGE:AUTO?", "1\n", "Auto"},
        {link::GetCurrDcRange, "CURR:DC:RANGE?", "+2.00000000E-04\n", "200uA"},
        {link::GetCurrDcRange, "CURR:DC:RANGE?", "+2.00000000E-03\n", "2mA"},
        {link::GetCurrDcRange, "CURR:DC:RANGE?", "+2.00000000E-02\n", "20mA"},
        {link::GetCurrDcRange, "CURR:DC:RANGE?", "+1.00000000E+01\n", "10A"},
        {link::GetCurrAcAutoRange, "CURR:AC:RANGE:AUTO?", "0\n", "Manual"},
        {link::GetCurrAcRange, "CURR:AC:RANGE?", "+2.00000000E-01\n", "200mA"},
        {link::GetResAutoRange, "RES:RANGE:AUTO?", "1\n", "Auto"},
        {link::GetResRange, "RES:RANGE?", "+2.00000000E+02\n", "200Ω"},
        {link::GetResRange, "RES:RANGE?", "+2.00000000E+04\n", "20KΩ"},
        {link::GetResRange, "RES:RANGE?", "+1.00000000E+08\n", "100MΩ"},
        {link::GetFresAutoRange, "FRES:RANGE:AUTO?", "0\n", "Manual"},
        {link::GetFresRange, "FRES:RANGE?", "+2.00000000E+03\n", "2KΩ"},
        {link::GetCapAutoRange, "CAP:RANGE:AUTO?", "1\n", "Auto"},
        {link::GetCapRange, "CAP:RANGE?", "+2.00000000E-09\n", "2nF"},
        {link::GetCapRange, "CAP:RANGE?", "+2.00000000E-04\n", "200uF"},
        {link::GetCapRange, "CAP:RANGE?", "+1.00000000E-02\n", "10000uF"},
        // Rounded, not truncated.
        {link::GetCapRange, "CAP:RANGE?", "+1.99999999E-06\n", "2uF"},
        // Huge ranges (which no instrument reports) are written in full.
        {link::GetResRange, "RES:RANGE?", "+1.0E+30\n", "999999999999999983222784MΩ"},
    });
}

TEST_F(SettingsTable, RangeRepliesDropOrKeepTheirFirstCharacter) {
    // Voltage, current and capacitance replies lose their first character
    // (the sign); resistance and the frequency function's voltage keep it.
    // Each reply here reads differently either way.
    ExpectQueries({
        {link::GetVoltDcRange, "VOLT:DC:RANGE?", "-2.00000000E+01\n", "20V"},
        {link::GetVoltDcRange, "VOLT:DC:RANGE?", "20\n", "200mV"},
        {link::GetVoltAcRange, "VOLT:AC:RANGE?", "-7.50000000E+02\n", "750V"},
        {link::GetCurrDcRange, "CURR:DC:RANGE?", "-2.00000000E-02\n", "20mA"},
        {link::GetCurrAcRange, "CURR:AC:RANGE?", "12\n", "2A"},
        {link::GetCapRange, "CAP:RANGE?", "-2.00000000E-09\n", "2nF"},
        {link::GetCapRange, "CAP:RANGE?", "12E-09\n", "2nF"},
        {link::GetResRange, "RES:RANGE?", "20000\n", "20KΩ"},
        {link::GetFresRange, "FRES:RANGE?", "-2.00000000E+03\n", "-2000Ω"},
        {link::GetFreqRange, "FREQ:VOLT:RANGE?", "-2.00000000E+01\n", "200mV"},
    });
}

TEST_F(SettingsTable, GarbledRangeRepliesAreFailedExchanges) {
    // A range reply that is not one number gives no label and raises the
    // failure message, so an automatic-range worker stops with a reason
    // instead of showing a range the meter never reported.
    const std::pair<std::string (*)(), const char*> queries[] = {
        {link::GetVoltDcRange, "VOLT:DC:RANGE?"}, {link::GetVoltDcAutoRange, "VOLT:DC:RANGE:AUTO?"},
        {link::GetCurrDcRange, "CURR:DC:RANGE?"}, {link::GetVoltAcRange, "VOLT:AC:RANGE?"},
        {link::GetCurrAcRange, "CURR:AC:RANGE?"}, {link::GetResRange, "RES:RANGE?"},
        {link::GetFresRange, "FRES:RANGE?"},      {link::GetCapRange, "CAP:RANGE?"},
        {link::GetFreqRange, "FREQ:VOLT:RANGE?"}, {link::GetCapAutoRange, "CAP:RANGE:AUTO?"},
    };
    for (const auto& [query, command] : queries) {
        m_device->Answer(command, "\x8F+2.0\xE3\x11\n");
        EXPECT_EQ(query(), "") << command;
    }
    EXPECT_EQ(Failures().size(), std::size(queries));
    // Blanks that pad a well-formed reply are not garbage.
    m_device->Answer("VOLT:DC:RANGE?", "+2.00000000E+00          \n");
    EXPECT_EQ(link::GetVoltDcRange(), "2V");
    EXPECT_EQ(Failures().size(), std::size(queries));
}

TEST_F(SettingsTable, SpeedFilterImpedanceNullCommands) {
    ExpectSets({
        {link::SetVoltDcSpeed, "Slow", "VOLT:DC:NPLC 10"},
        {link::SetVoltDcSpeed, "Middle", "VOLT:DC:NPLC 1"},
        {link::SetVoltDcSpeed, "Fast", "VOLT:DC:NPLC 0.3"},
        {link::SetVoltDcSpeed, "slow", "VOLT:DC:NPLC 0.3"},
        {link::SetCurrDcSpeed, "Slow", "CURR:DC:NPLC 10"},
        {link::SetVoltAcSpeed, "Middle", "VOLT:AC:NPLC 1"},
        {link::SetCurrAcSpeed, "Fast", "CURR:AC:NPLC 0.3"},
        {link::SetResSpeed, "Slow", "RES:NPLC 10"},
        {link::SetFresSpeed, "Middle", "FRES:NPLC 1"},
        {link::SetVoltDcFilter, "On", "VOLT:DC:FILTER ON"},
        {link::SetVoltDcFilter, "Off", "VOLT:DC:FILTER OFF"},
        {link::SetCurrDcFilter, "On", "CURR:DC:FILTER ON"},
        {link::SetCurrDcFilter, "on", "CURR:DC:FILTER OFF"},
        {link::SetVoltDcInputImpedance, "10M", "VOLT:DC:INPUTZ 10M"},
        {link::SetVoltDcInputImpedance, "10G", "VOLT:DC:INPUTZ 10G"},
        {link::SetVoltDcInputImpedance, "10MΩ", "VOLT:DC:INPUTZ 10G"},
        {link::SetVoltDcNull, "On", "VOLT:DC:NULL ON"},
        {link::SetCurrDcNull, "Off", "CURR:DC:NULL OFF"},
        {link::SetVoltAcNull, "On", "VOLT:AC:NULL ON"},
        {link::SetCurrAcNull, "On", "CURR:AC:NULL ON"},
        {link::SetResNull, "Off", "RES:NULL OFF"},
        {link::SetFresNull, "On", "FRES:NULL ON"},
        {link::SetCapNull, "On", "CAP:NULL ON"},
        {link::SetFreqNull, "Off", "FREQ:NULL OFF"},
        {link::SetContinuityThreshold, "50", "CONT:THR:VALUE 50"},
        {link::SetBeeper, "On", "SYST:BEEP:STAT ON"},
        {link::SetBeeper, "Off", "SYST:BEEP:STAT OFF"},
    });
}

TEST_F(SettingsTable, SpeedFilterImpedanceNullQueries) {
    ExpectQueries({
        {link::GetVoltDcSpeed, "VOLT:DC:NPLC?", "+3.00000000E-01\n", "Fast"},
        {link::GetVoltDcSpeed, "VOLT:DC:NPLC?", "+1.00000000E+00\n", "Middle"},
        {link::GetVoltDcSpeed, "VOLT:DC:NPLC?", "+1.00000000E+01\n", "Slow"},
        {link::GetVoltDcSpeed, "VOLT:DC:NPLC?", "0.5\n", "Fast"},
        {link::GetCurrDcSpeed, "CURR:DC:NPLC?", "10\n", "Slow"},
        {link::GetVoltAcSpeed, "VOLT:AC:NPLC?", "1\n", "Middle"},
        {link::GetCurrAcSpeed, "CURR:AC:NPLC?", "0.3\n", "Fast"},
        {link::GetResSpeed, "RES:NPLC?", "10\n", "Slow"},
        {link::GetFresSpeed, "FRES:NPLC?", "1\n", "Middle"},
        {link::GetVoltDcFilter, "VOLT:DC:FILTER?", "1\n", "On"},
        {link::GetVoltDcFilter, "VOLT:DC:FILTER?", "0\n", "Off"},
        {link::GetCurrDcFilter, "CURR:DC:FILTER?", "ON\n", "On"},
        {link::GetVoltDcInputImpedance, "VOLT:DC:IMP?", "10M\n", "10M"},
        {link::GetVoltDcInputImpedance, "VOLT:DC:IMP?", "10G\n", "10G"},
        {link::GetVoltDcNull, "VOLT:DC:NULL?", "0\n", "Off"},
        {link::GetCurrDcNull, "CURR:DC:NULL?", "1\n", "On"},
        {link::GetVoltAcNull, "VOLT:AC:NULL?", "1\n", "On"},
        {link::GetCurrAcNull, "CURR:AC:NULL?", "0\n", "Off"},
        {link::GetResNull, "RES:NULL?", "1\n", "On"},
        {link::GetFresNull, "FRES:NULL?", "0\n", "Off"},
        {link::GetCapNull, "CAP:NULL?", "1\n", "On"},
        {link::GetFreqNull, "FREQ:NULL?", "0\n", "Off"},
        {link::GetBeeper, "SYST:BEEP:STATE?", "1\n", "On"},
        {link::GetBeeper, "SYST:BEEP:STATE?", "0\n", "Off"},
        {link::GetContinuityThreshold, "CONT:THR:VALUE?", "+5.00000000E+01\n", "+0050"},
        {link::GetContinuityThreshold, "CONT:THR:VALUE?", "-5\n", "-005"},
        {link::GetContinuityThreshold, "CONT:THR:VALUE?", "12345\n", "+12345"},
    });
}

TEST_F(SettingsCommands, EveryQueryIsEmptyWithoutAnswer) {
    const std::function<std::string()> queries[] = {
        link::GetVoltDcAutoRange, link::GetVoltDcRange,  link::GetCurrDcRange,
        link::GetVoltAcRange,     link::GetCurrAcRange,  link::GetResRange,
        link::GetFresRange,       link::GetCapRange,     link::GetFreqRange,
        link::GetVoltDcSpeed,     link::GetVoltDcFilter, link::GetVoltDcInputImpedance,
        link::GetVoltDcNull,      link::GetBeeper,       link::GetContinuityThreshold,
    };
    for (const auto& query : queries) {
        EXPECT_EQ(query(), "");
    }
    EXPECT_EQ(Failures().size(), std::size(queries));
}

}  // namespace
}  // namespace kvt::test
