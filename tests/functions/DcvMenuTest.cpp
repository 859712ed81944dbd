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
    EXPECT_EQ(m_dcv->GetName(), "DC Voltage");
    EXPECT_EQ(m_dcv->GetReadingText(), "●.●●●●●");
    m_dcv->ShowMainMenu();
    EXPECT_EQ(Page(*m_dcv), kMainPage);
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(0), "200mV");
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(1), "Slow");
    EXPECT_EQ(m_dcv->GetSoftKeyOptionA(2), "On");
    EXPECT_EQ(m_dcv->GetSoftKeyOptionB(3), "10G");
    // Settings not read yet highlight option B.
    EXPECT_EQ(m_dcv->GetItem(3)->GetValue(), "Off");
    EXPECT_EQ(m_dcv->GetItem(4)->GetValue(), "10G");
    EXPECT_TRUE(m_dcv->GetItem(8)->m_checked);
    EXPECT_TRUE(m_dcv->GetItem(13)->m_checked);
    EXPECT_EQ(m_dcv->GetSoftKeyItem(2)->m_kind, CMenuItem::kOptionToggle);
    EXPECT_EQ(m_panel.Calls(), (std::vector<std::string>{"SetViewsUnit(V)"}));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DcvMenu, RangeChoiceHidesInputImpedanceAboveTwoVoltsAndSpeedChoiceShowsIt) {
    m_dcv->ShowMainMenu();
    m_dcv->OnSoftKey(0);
    EXPECT_EQ(Page(*m_dcv), kRangePage);
    EXPECT_TRUE(m_dcv->GetSoftKeyItem(1)->m_checked);

    m_dcv->OnSoftKey(3);  // 20V
    EXPECT_EQ(Page(*m_dcv), kMainPageWithoutInputZ);
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(0), "20V");
    EXPECT_TRUE(m_dcv->GetItem(10)->m_checked);
    EXPECT_FALSE(m_dcv->GetItem(8)->m_checked);

    m_dcv->OnSoftKey(1);
    EXPECT_EQ(Page(*m_dcv), kSpeedPage);
    m_dcv->OnSoftKey(2);  // Fast: the page after a speed choice has every key
    EXPECT_EQ(Page(*m_dcv), kMainPage);
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(1), "Fast");
    EXPECT_TRUE(m_dcv->GetItem(15)->m_checked);
    EXPECT_FALSE(m_dcv->GetItem(13)->m_checked);
    EXPECT_EQ(m_dcv->GetSpeed(), "Fast");

    // The next full redraw applies the range rule again.
    m_dcv->ShowMainMenu();
    EXPECT_EQ(Page(*m_dcv), kMainPageWithoutInputZ);
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
        m_dcv->OnMenuItem(1);
        m_dcv->OnSoftKey(c.position);
        EXPECT_EQ(Page(*m_dcv), c.inputZ ? kMainPage : kMainPageWithoutInputZ);
        EXPECT_EQ(m_dcv->GetSoftKeySubtitle(0), c.subtitle);
        EXPECT_EQ(m_dcv->GetRangeMode(), c.mode);
        EXPECT_TRUE(m_dcv->GetItem(7 + c.position)->m_checked);
    }
    // "Auto" keeps the last manual range until the instrument reports one.
    m_dcv->OnMenuItem(1);
    m_dcv->OnSoftKey(0);
    EXPECT_EQ(m_dcv->GetRange(), "1000V");
    m_dcv->ShowMainMenu();
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(0), "Auto");
    EXPECT_TRUE(m_dcv->GetItem(7)->m_checked);
}

TEST_F(DcvMenu, TogglesTakeTheNewlyHighlightedOption) {
    m_dcv->ShowMainMenu();
    m_dcv->OnSoftKey(2);
    EXPECT_EQ(m_dcv->GetFilter(), "On");
    m_dcv->OnSoftKey(2);
    EXPECT_EQ(m_dcv->GetFilter(), "Off");
    m_dcv->OnSoftKey(3);
    EXPECT_EQ(m_dcv->GetInputImpedance(), "10M");
    m_dcv->OnSoftKey(4);
    EXPECT_EQ(m_dcv->GetRel(), "On");
    EXPECT_EQ(m_dcv->GetSoftKeyItem(4)->m_optionAColor, CMenuItem::kHighlightColor);
    // A toggle press stays on the main page.
    EXPECT_EQ(Page(*m_dcv), kMainPage);
}

TEST_F(DcvMenu, MainMenuMirrorsSettingsReadFromTheInstrument) {
    m_device->Answer("VOLT:DC:RANGE:AUTO?", "0\n");
    m_device->Answer("VOLT:DC:RANGE?", "+2.00000000E+02\n");
    m_device->Answer("VOLT:DC:NPLC?", "+1.00000000E+00\n");
    m_device->Answer("VOLT:DC:FILTER?", "1\n");
    m_device->Answer("VOLT:DC:IMP?", "10M\n");
    m_device->Answer("VOLT:DC:NULL?", "0\n");
    m_dcv->SyncFromInstrument();
    m_dcv->ShowMainMenu();
    EXPECT_EQ(Page(*m_dcv), kMainPageWithoutInputZ);
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(0), "200V");
    EXPECT_TRUE(m_dcv->GetItem(11)->m_checked);
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(1), "Middle");
    EXPECT_TRUE(m_dcv->GetItem(14)->m_checked);
    EXPECT_EQ(m_dcv->GetItem(3)->GetValue(), "On");
    EXPECT_EQ(m_dcv->GetItem(4)->GetValue(), "10M");
    EXPECT_EQ(m_dcv->GetItem(5)->GetValue(), "Off");

    // Automatic ranging on 2 V: the range key says "Auto", the page
    // follows the range the instrument chose.
    m_device->Answer("VOLT:DC:RANGE:AUTO?", "1\n");
    m_device->Answer("VOLT:DC:RANGE?", "+2.00000000E+00\n");
    m_dcv->SyncFromInstrument();
    m_dcv->ShowMainMenu();
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(0), "Auto");
    EXPECT_TRUE(m_dcv->GetItem(7)->m_checked);
    EXPECT_FALSE(m_dcv->GetItem(11)->m_checked);
    EXPECT_EQ(Page(*m_dcv), kMainPage);
}

TEST_F(DcvMenu, UnknownRangeChecksNoRangeItem) {
    m_dcv->ShowMainMenu();
    m_dcv->SetRange("7V");
    m_dcv->ShowMainMenu();
    EXPECT_EQ(m_dcv->GetSoftKeySubtitle(0), "7V");
    for (int id = 7; id <= 12; ++id) {
        EXPECT_FALSE(m_dcv->GetItem(id)->m_checked) << id;
    }
    EXPECT_EQ(Page(*m_dcv), kMainPageWithoutInputZ);
    EXPECT_EQ(m_dcv->GetUnitLabel(), "VDC");
}

}  // namespace
}  // namespace kvt::test
