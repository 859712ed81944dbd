// The DC voltage soft-key pages: what each page shows where, and how
// choices and toggles change them.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

using functions::CMenuItem;
using DcvMenu = FunctionsFixture;

// The key texts (list pages) or titles (main page) at positions 0 to 5.
std::array<std::string, 6> Page(functions::CKVTFunction& f) {
    std::array<std::string, 6> page;
    for (int i = 0; i < 6; ++i) {
        page[i] = f.GetSoftKeyText(i) + f.GetSoftKeyTitle(i);
    }
    return page;
}

const std::array<std::string, 6> kMainPage{"Range", "Speed", "Filter", "InputZ", "Rel", ""};
const std::array<std::string, 6> kMainPageWithoutInputZ{"Range", "Speed", "Filter", "", "Rel", ""};
const std::array<std::string, 6> kRangePage{"Auto", "200mV", "2V", "20V", "200V", "1000V"};
const std::array<std::string, 6> kSpeedPage{"Slow", "Middle", "Fast", "", "", ""};

TEST_F(DcvMenu, MainMenuShowsTheDefaultsAfterInit) {
    EXPECT_EQ(dcv_->GetName(), "DC Voltage");
    EXPECT_EQ(dcv_->GetReadingText(), "●.●●●●●");
    dcv_->ShowMainMenu();
    EXPECT_EQ(Page(*dcv_), kMainPage);
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(0), "200mV");
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(1), "Slow");
    EXPECT_EQ(dcv_->GetSoftKeyOptionA(2), "On");
    EXPECT_EQ(dcv_->GetSoftKeyOptionB(3), "10G");
    // Settings not read yet highlight option B.
    EXPECT_EQ(dcv_->GetItem(3)->GetValue(), "Off");
    EXPECT_EQ(dcv_->GetItem(4)->GetValue(), "10G");
    EXPECT_TRUE(dcv_->GetItem(8)->m_checked);
    EXPECT_TRUE(dcv_->GetItem(13)->m_checked);
    EXPECT_EQ(dcv_->GetSoftKeyItem(2)->m_kind, CMenuItem::kOptionToggle);
    EXPECT_EQ(panel_.Calls(), (std::vector<std::string>{"SetViewsUnit(V)"}));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DcvMenu, RangeChoiceHidesInputImpedanceAboveTwoVoltsAndSpeedChoiceShowsIt) {
    dcv_->ShowMainMenu();
    dcv_->OnSoftKey(0);
    EXPECT_EQ(Page(*dcv_), kRangePage);
    EXPECT_TRUE(dcv_->GetSoftKeyItem(1)->m_checked);

    dcv_->OnSoftKey(3);  // 20V
    EXPECT_EQ(Page(*dcv_), kMainPageWithoutInputZ);
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(0), "20V");
    EXPECT_TRUE(dcv_->GetItem(10)->m_checked);
    EXPECT_FALSE(dcv_->GetItem(8)->m_checked);

    dcv_->OnSoftKey(1);
    EXPECT_EQ(Page(*dcv_), kSpeedPage);
    dcv_->OnSoftKey(2);  // Fast: the page after a speed choice has every key
    EXPECT_EQ(Page(*dcv_), kMainPage);
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(1), "Fast");
    EXPECT_TRUE(dcv_->GetItem(15)->m_checked);
    EXPECT_FALSE(dcv_->GetItem(13)->m_checked);
    EXPECT_EQ(dcv_->GetSpeed(), "Fast");

    // The next full redraw applies the range rule again.
    dcv_->ShowMainMenu();
    EXPECT_EQ(Page(*dcv_), kMainPageWithoutInputZ);
}

TEST_F(DcvMenu, EachRangeChoiceGivesItsMainPage) {
    struct Case {
        int position;
        const char* subtitle;
        bool inputZ;
        const char* mode;
    };
    const Case cases[] = {{0, "Auto", false, "Auto"},   {1, "200mV", true, "Manual"},
                          {2, "2V", true, "Manual"},    {3, "20V", false, "Manual"},
                          {4, "200V", false, "Manual"}, {5, "1000V", false, "Manual"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subtitle);
        dcv_->OnMenuItem(1);
        dcv_->OnSoftKey(c.position);
        EXPECT_EQ(Page(*dcv_), c.inputZ ? kMainPage : kMainPageWithoutInputZ);
        EXPECT_EQ(dcv_->GetSoftKeySubtitle(0), c.subtitle);
        EXPECT_EQ(dcv_->GetRangeMode(), c.mode);
        EXPECT_TRUE(dcv_->GetItem(7 + c.position)->m_checked);
    }
    // "Auto" keeps the last manual range until the instrument reports one.
    dcv_->OnMenuItem(1);
    dcv_->OnSoftKey(0);
    EXPECT_EQ(dcv_->GetRange(), "1000V");
    dcv_->ShowMainMenu();
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(0), "Auto");
    EXPECT_TRUE(dcv_->GetItem(7)->m_checked);
}

TEST_F(DcvMenu, TogglesTakeTheNewlyHighlightedOption) {
    dcv_->ShowMainMenu();
    dcv_->OnSoftKey(2);
    EXPECT_EQ(dcv_->GetFilter(), "On");
    dcv_->OnSoftKey(2);
    EXPECT_EQ(dcv_->GetFilter(), "Off");
    dcv_->OnSoftKey(3);
    EXPECT_EQ(dcv_->GetInputImpedance(), "10M");
    dcv_->OnSoftKey(4);
    EXPECT_EQ(dcv_->GetRel(), "On");
    EXPECT_EQ(dcv_->GetSoftKeyItem(4)->m_optionAColor, CMenuItem::kHighlightColor);
    // A toggle press stays on the main page.
    EXPECT_EQ(Page(*dcv_), kMainPage);
}

TEST_F(DcvMenu, MainMenuMirrorsSettingsReadFromTheInstrument) {
    device_->Answer("VOLT:DC:RANGE:AUTO?", "0\n");
    device_->Answer("VOLT:DC:RANGE?", "+2.00000000E+02\n");
    device_->Answer("VOLT:DC:NPLC?", "+1.00000000E+00\n");
    device_->Answer("VOLT:DC:FILTER?", "1\n");
    device_->Answer("VOLT:DC:IMP?", "10M\n");
    device_->Answer("VOLT:DC:NULL?", "0\n");
    dcv_->SyncFromInstrument();
    dcv_->ShowMainMenu();
    EXPECT_EQ(Page(*dcv_), kMainPageWithoutInputZ);
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(0), "200V");
    EXPECT_TRUE(dcv_->GetItem(11)->m_checked);
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(1), "Middle");
    EXPECT_TRUE(dcv_->GetItem(14)->m_checked);
    EXPECT_EQ(dcv_->GetItem(3)->GetValue(), "On");
    EXPECT_EQ(dcv_->GetItem(4)->GetValue(), "10M");
    EXPECT_EQ(dcv_->GetItem(5)->GetValue(), "Off");

    // Automatic ranging on 2 V: the range key says "Auto", the page
    // follows the range the instrument chose.
    device_->Answer("VOLT:DC:RANGE:AUTO?", "1\n");
    device_->Answer("VOLT:DC:RANGE?", "+2.00000000E+00\n");
    dcv_->SyncFromInstrument();
    dcv_->ShowMainMenu();
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(0), "Auto");
    EXPECT_TRUE(dcv_->GetItem(7)->m_checked);
    EXPECT_FALSE(dcv_->GetItem(11)->m_checked);
    EXPECT_EQ(Page(*dcv_), kMainPage);
}

TEST_F(DcvMenu, UnknownRangeChecksNoRangeItem) {
    dcv_->ShowMainMenu();
    dcv_->SetRange("7V");
    dcv_->ShowMainMenu();
    EXPECT_EQ(dcv_->GetSoftKeySubtitle(0), "7V");
    for (int id = 7; id <= 12; ++id) {
        EXPECT_FALSE(dcv_->GetItem(id)->m_checked) << id;
    }
    EXPECT_EQ(Page(*dcv_), kMainPageWithoutInputZ);
    EXPECT_EQ(dcv_->GetUnitLabel(), "VDC");
}

}  // namespace
}  // namespace kvt::test
