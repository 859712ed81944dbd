// Continuity and diode: pages, the beeper, the threshold field edited with
// the cursor keys, "open" readings and what is read back.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "functions/CKVTFunctionCont.h"
#include "functions/CKVTFunctionDiode.h"
#include "functions/ProgramRecords.h"
#include "link/CoreCommands.h"
#include "tests/functions/FunctionUnderTest.h"

namespace kvt::test {
namespace {

using functions::CKVTFunctionCont;
using functions::CKVTFunctionDiode;
using Strings = std::vector<std::string>;
using ContMenu = FunctionUnderTest<CKVTFunctionCont>;
using DiodeMenu = FunctionUnderTest<CKVTFunctionDiode>;

constexpr int kLeft = CKVTFunctionCont::kCursorLeft;
constexpr int kRight = CKVTFunctionCont::kCursorRight;
constexpr int kUp = CKVTFunctionCont::kCursorUp;
constexpr int kDown = CKVTFunctionCont::kCursorDown;

TEST_F(ContMenu, DefaultsPageAndSmallEditField) {
    EXPECT_EQ(m_f->GetName(), "Continuity");
    EXPECT_EQ(m_f->GetReadingText(), "open");
    EXPECT_EQ(m_f->GetDisplayText(), "open");
    EXPECT_EQ(m_f->GetBaseUnit(), "Ω");
    EXPECT_EQ(m_f->GetUnitLabel(), "Ω");
    EXPECT_EQ(m_f->GetRange(), "");
    EXPECT_EQ(m_f->GetRangeMode(), "");
    EXPECT_TRUE(m_f->HasTinyMenu());
    EXPECT_EQ(m_f->GetTinyMenuText(), "+0050 Ω");
    EXPECT_EQ(m_f->GetTinyMenuCursor(), 1);
    int left = 0, top = 0, right = 0, bottom = 0;
    m_f->GetTinyMenuRect(left, top, right, bottom);
    EXPECT_EQ((std::array<int, 4>{left, top, right, bottom}),
              (std::array<int, 4>{108, 207, 216, 225}));

    m_f->ShowMainMenu();
    EXPECT_EQ(Page(), (std::array<std::string, 6>{"Beeper", "Threshold", "", "", "", ""}));
    EXPECT_EQ(m_f->GetItem(85)->GetValue(), "On");
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(Ω)"});
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ContMenu, BeeperSendsUnderTheLockAndTheThresholdLabelSendsNothing) {
    m_f->ShowMainMenu();
    m_f->OnSoftKey(0);
    EXPECT_EQ(m_f->GetBeeper(), "Off");
    EXPECT_EQ(Timeline(), (Strings{"SYST:BEEP:STAT OFF", "pause 100"}));
    m_f->OnSoftKey(0);
    EXPECT_EQ(Timeline(), (Strings{"SYST:BEEP:STAT ON", "pause 100"}));
    m_f->OnSoftKey(1);
    m_f->OnMenuItem(87);
    EXPECT_TRUE(Timeline().empty());
    // The beeper waits for the lock (a reading cycle) before it is sent.
    EXPECT_FALSE(
        RunsWhileLockIsHeld([this] { m_f->OnSoftKey(0); }, std::chrono::milliseconds(200)));
    EXPECT_EQ(Sent(), Strings{"SYST:BEEP:STAT OFF"});
}

TEST_F(ContMenu, CursorStaysOnTheFourDigits) {
    const std::pair<int, int> moves[] = {{kLeft, 1},  {kRight, 2}, {kRight, 3}, {kRight, 4},
                                         {kRight, 4}, {kLeft, 3},  {kLeft, 2},  {kLeft, 1}};
    for (const auto& [key, cursor] : moves) {
        m_f->OnSoftKey(key);
        EXPECT_EQ(m_f->GetTinyMenuCursor(), cursor);
    }
    EXPECT_TRUE(Sent().empty());
}

int Threshold(CKVTFunctionCont& f) {
    return std::stoi(f.GetTinyMenuText().substr(1, 4));
}

// Edits the threshold from its current value to ohms, digit by digit with
// the cursor keys, and leaves the cursor on digit.
void SetThreshold(CKVTFunctionCont& f, int ohms, int digit) {
    int step = 1000;
    for (int d = 1; d <= 4; ++d, step /= 10) {
        while (std::abs(ohms - Threshold(f)) >= step) {
            f.OnSoftKey(ohms > Threshold(f) ? kUp : kDown);
        }
        if (d < 4) {
            f.OnSoftKey(kRight);
        }
    }
    while (f.GetTinyMenuCursor() > digit) {
        f.OnSoftKey(kLeft);
    }
}

TEST_F(ContMenu, ThresholdEditsStayWithinZeroTo2000AndAlwaysResend) {
    struct Case {
        int start;
        int digit;
        int key;
        const char* shown;
        const char* wire;
    };
    const Case cases[] = {
        // At 0 ohms nothing goes down, on any digit.
        {0, 1, kDown, "+0000 Ω", "CONT:THR:VALUE 0000"},
        {0, 2, kDown, "+0000 Ω", "CONT:THR:VALUE 0000"},
        {0, 3, kDown, "+0000 Ω", "CONT:THR:VALUE 0000"},
        {0, 4, kDown, "+0000 Ω", "CONT:THR:VALUE 0000"},
        {0, 1, kUp, "+1000 Ω", "CONT:THR:VALUE 1000"},
        {0, 2, kUp, "+0100 Ω", "CONT:THR:VALUE 0100"},
        {0, 3, kUp, "+0010 Ω", "CONT:THR:VALUE 0010"},
        {0, 4, kUp, "+0001 Ω", "CONT:THR:VALUE 0001"},
        // At 2000 ohms nothing goes up, on any digit.
        {2000, 1, kUp, "+2000 Ω", "CONT:THR:VALUE 2000"},
        {2000, 2, kUp, "+2000 Ω", "CONT:THR:VALUE 2000"},
        {2000, 3, kUp, "+2000 Ω", "CONT:THR:VALUE 2000"},
        {2000, 4, kUp, "+2000 Ω", "CONT:THR:VALUE 2000"},
        {2000, 1, kDown, "+1000 Ω", "CONT:THR:VALUE 1000"},
        {2000, 2, kDown, "+1900 Ω", "CONT:THR:VALUE 1900"},
        {2000, 3, kDown, "+1990 Ω", "CONT:THR:VALUE 1990"},
        {2000, 4, kDown, "+1999 Ω", "CONT:THR:VALUE 1999"},
        {1950, 2, kUp, "+1950 Ω", "CONT:THR:VALUE 1950"},
        {1950, 4, kUp, "+1951 Ω", "CONT:THR:VALUE 1951"},
        {1950, 1, kUp, "+1950 Ω", "CONT:THR:VALUE 1950"},
        {1950, 3, kUp, "+1960 Ω", "CONT:THR:VALUE 1960"},
        {50, 1, kDown, "+0050 Ω", "CONT:THR:VALUE 0050"},
        {50, 3, kDown, "+0040 Ω", "CONT:THR:VALUE 0040"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " digit " + std::to_string(c.digit));
        CKVTFunctionCont f(&m_panel);
        f.Init();
        SetThreshold(f, c.start, c.digit);
        ASSERT_EQ(f.GetTinyMenuText(), CKVTFunctionCont::ThresholdText(c.start));
        ASSERT_EQ(f.GetTinyMenuCursor(), c.digit);
        Timeline();
        f.OnSoftKey(c.key);
        EXPECT_EQ(f.GetTinyMenuText(), c.shown);
        EXPECT_EQ(Timeline(), Strings{c.wire});  // no settle pause
    }
}

TEST_F(ContMenu, ThresholdCommandsDoNotWaitForTheLock) {
    EXPECT_TRUE(RunsWhileLockIsHeld([this] {
        m_f->OnSoftKey(kUp);
        m_f->OnSoftKey(kDown);
    }));
    EXPECT_EQ(Sent(), (Strings{"CONT:THR:VALUE 1050", "CONT:THR:VALUE 0050"}));
}

TEST_F(ContMenu, SyncReadsBeeperAndThresholdButKeepsAMalformedThreshold) {
    m_device->Answer("SYST:BEEP:STATE?", "0\n");
    m_device->Answer("CONT:THR:VALUE?", "+1.20000000E+02\n");
    m_f->SyncFromInstrument();
    EXPECT_EQ(Sent(), (Strings{"SYST:BEEP:STATE?", "CONT:THR:VALUE?", "CALCulate:LIMit:STATe?",
                               "CALCulate:LIMit:LOWer?", "CALCulate:LIMit:UPPer?"}));
    EXPECT_EQ(m_f->GetBeeper(), "Off");
    EXPECT_EQ(m_f->GetTinyMenuText(), "+0120 Ω");
    m_f->ShowMainMenu();
    EXPECT_EQ(m_f->GetItem(85)->GetValue(), "Off");

    // Beyond what the field can hold, or no answer: the threshold stays.
    for (const char* reply : {"+1.20000000E+04\n", "-1.00000000E+01\n", ""}) {
        SCOPED_TRACE(reply);
        m_device->Answer("CONT:THR:VALUE?", reply);
        m_f->SyncFromInstrument();
        EXPECT_EQ(m_f->GetTinyMenuText(), "+0120 Ω");
    }
    m_f->OnSoftKey(kDown);
    Sent();
    m_f->OnSoftKey(kDown);
    EXPECT_EQ(Sent(), Strings{"CONT:THR:VALUE 0120"});
}

TEST_F(ContMenu, AThresholdAboveTheEditableRangeIsShownAsTheMeterHasIt) {
    // A meter set to 2500 ohms elsewhere: the field shows 2500, not the
    // last value it knew. Edits still keep to 0 to 2000: a step that
    // stays above resends 2500, a step down into the range is taken.
    m_device->Answer("CONT:THR:VALUE?", "+2.50000000E+03\n");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetTinyMenuText(), "+2500 Ω");
    Sent();
    m_f->OnSoftKey(kDown);  // cursor on the thousands: step 1000
    EXPECT_EQ(m_f->GetTinyMenuText(), "+1500 Ω");
    EXPECT_EQ(Sent(), Strings{"CONT:THR:VALUE 1500"});
    m_device->Answer("CONT:THR:VALUE?", "+9.99900000E+03\n");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetTinyMenuText(), "+9999 Ω");
    Sent();
    m_f->OnSoftKey(kUp);
    EXPECT_EQ(m_f->GetTinyMenuText(), "+9999 Ω");
    EXPECT_EQ(Sent(), Strings{"CONT:THR:VALUE 9999"});
}

TEST_F(ContMenu, OpenAndNumericReadings) {
    m_device->Answer("DATA:LAST?", "+9.90000000E+37 OHM\n");
    ASSERT_TRUE(m_f->ReadOnce());
    EXPECT_EQ(m_f->GetDisplayText(), "open");
    m_device->Answer("DATA:LAST?", "+1.23456789E+01 OHM\n");
    ASSERT_TRUE(m_f->ReadOnce());
    EXPECT_EQ(m_f->GetReadingText(), "+12.345678900000");
    EXPECT_EQ(m_f->GetDisplayText(), "+12.3456");
    EXPECT_EQ(m_f->HistorySnapshot(), (std::vector<double>{9.9e37, 12.3456789}));
    m_device->Answer("DATA:LAST?", "");
    EXPECT_FALSE(m_f->ReadOnce());
    EXPECT_EQ(m_f->HistorySnapshot().size(), 2u);
}

TEST(OpenReadingDisplay, CutsNumbersAndKeepsMarkers) {
    using functions::CKVTFunctionOpenReading;
    EXPECT_EQ(CKVTFunctionOpenReading::DisplayText("open"), "open");
    EXPECT_EQ(CKVTFunctionOpenReading::DisplayText("●.●●●●●"), "●.●●●●●");
    EXPECT_EQ(CKVTFunctionOpenReading::DisplayText("+0.612345678901"), "+0.61234");
    EXPECT_EQ(CKVTFunctionOpenReading::DisplayText("-1234567.000000000000"), "-1234567");
}

TEST_F(DiodeMenu, SingleBeeperKeyAndLimitsReadWithTheMenu) {
    EXPECT_EQ(m_f->GetName(), "Diode");
    EXPECT_EQ(m_f->GetDisplayText(), "open");
    EXPECT_EQ(m_f->GetBaseUnit(), "V");
    EXPECT_EQ(m_f->GetUnitLabel(), "");
    EXPECT_FALSE(m_f->HasTinyMenu());
    EXPECT_EQ(m_f->GetTinyMenuText(), "");

    m_f->SyncFromInstrument();
    EXPECT_TRUE(Sent().empty());

    m_device->Answer("CALCulate:LIMit:STATe?", "1\n");
    m_device->Answer("CALCulate:LIMit:LOWer?", "+1.00000000E-01\n");
    m_device->Answer("CALCulate:LIMit:UPPer?", "+7.00000000E-01\n");
    m_f->ShowMainMenu();
    EXPECT_EQ(Page(), (std::array<std::string, 6>{"", "Beeper", "", "", "", ""}));
    EXPECT_EQ(m_f->GetItem(87)->GetValue(), "On");
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(V)"});
    // Each query with its own pause.
    EXPECT_EQ(Timeline(), (Strings{"CALCulate:LIMit:STATe?", "pause 100", "CALCulate:LIMit:LOWer?",
                                   "pause 100", "CALCulate:LIMit:UPPer?", "pause 100"}));
    EXPECT_DOUBLE_EQ(functions::g_limitUpper.load(), 0.7);

    m_f->OnSoftKey(1);
    EXPECT_EQ(m_f->GetBeeper(), "Off");
    EXPECT_EQ(Timeline(), (Strings{"SYST:BEEP:STAT OFF", "pause 100"}));
    // Any id reaches the beeper.
    m_f->OnMenuItem(3);
    EXPECT_EQ(Sent(), Strings{"SYST:BEEP:STAT OFF"});
    m_f->OnSoftKey(0);
    EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace kvt::test
