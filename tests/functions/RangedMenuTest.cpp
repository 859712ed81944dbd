// The soft-key pages of DC current, AC voltage, AC current, both
// resistances and capacitance: what each page shows where, the page keys,
// and how range and speed choices and toggles change the pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/functions/RangedFixture.h"

namespace kvt::test {
namespace {

using functions::CMenuItem;
using RangedMenu = RangedFixture;

bool HasSpeed(const RangedCase& c) {
    return !c.speedPage[0].empty();
}

bool HasTwoRangePages(const RangedCase& c) {
    return !c.rangePage2[0].empty();
}

// The checked items among ids.
std::vector<int> Checked(functions::CKVTFunction& f, const std::vector<int>& ids) {
    std::vector<int> checked;
    for (int id : ids) {
        if (f.GetItem(id)->m_checked) {
            checked.push_back(id);
        }
    }
    return checked;
}

TEST_P(RangedMenu, InitGivesTheDefaultsAndTheMainMenuShowsThem) {
    const RangedCase& c = GetParam();
    EXPECT_EQ(m_function->GetName(), c.title);
    EXPECT_EQ(m_function->GetReadingText(), "●.●●●●●");
    EXPECT_EQ(m_function->GetRangeMode(), "Manual");
    EXPECT_EQ(m_function->GetRange(), c.defaultRange);
    EXPECT_EQ(m_function->GetUnitLabel(), c.defaultUnitLabel);
    EXPECT_EQ(m_function->GetBaseUnit(), c.baseUnit);
    EXPECT_EQ(m_function->GetSpeed(), HasSpeed(c) ? "Slow" : "");
    EXPECT_EQ(m_function->GetItem(c.mainIds[0])->m_subtitle, "Auto");
    if (HasSpeed(c)) {
        EXPECT_EQ(m_function->GetItem(c.mainIds[1])->m_subtitle, c.initialSpeedSubtitle);
    }
    // Nothing is shown before the main menu.
    EXPECT_EQ(ShownIds(*m_function), (std::array<int, 6>{}));

    m_function->ShowMainMenu();
    EXPECT_EQ(ShownPage(*m_function), c.mainPage);
    EXPECT_EQ(ShownIds(*m_function), c.mainIds);
    EXPECT_EQ(m_function->GetSoftKeySubtitle(0), c.defaultRange);
    EXPECT_EQ(m_function->GetSoftKeyOptionA(4), "On");
    EXPECT_EQ(m_function->GetSoftKeyOptionB(4), "Off");
    EXPECT_EQ(m_function->GetSoftKeyItem(4)->m_kind, CMenuItem::kOptionToggle);
    EXPECT_EQ(m_function->GetSoftKeyItem(0)->m_kind, CMenuItem::kPlain);
    // Settings not read yet highlight option B.
    EXPECT_EQ(m_function->GetSoftKeyItem(4)->GetValue(), "Off");
    if (HasSpeed(c)) {
        EXPECT_EQ(m_function->GetSoftKeySubtitle(1), "Slow");
        EXPECT_EQ(Checked(*m_function, {c.speedIds[0], c.speedIds[1], c.speedIds[2]}),
                  std::vector<int>{c.speedIds[0]});
    }
    if (c.hasFilter) {
        EXPECT_EQ(m_function->GetSoftKeyItem(2)->GetValue(), "Off");
    }
    std::vector<int> checked = Checked(*m_function, c.rangeChoiceIds);
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(m_function->GetItem(checked[0])->m_keyText, c.defaultRange);
    EXPECT_EQ(m_panel.Calls(),
              std::vector<std::string>{"SetViewsUnit(" + std::string(c.baseUnit) + ")"});
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(PausesMs().empty());
}

TEST_P(RangedMenu, PageKeysWalkTheRangeListAndSpeedKeyOpensTheSpeeds) {
    const RangedCase& c = GetParam();
    m_function->ShowMainMenu();
    m_function->OnSoftKey(0);
    EXPECT_EQ(ShownPage(*m_function), c.rangePage1);
    EXPECT_EQ(ShownIds(*m_function), c.rangePage1Ids);
    if (HasTwoRangePages(c)) {
        m_function->OnSoftKey(5);  // "other->"
        EXPECT_EQ(ShownPage(*m_function), c.rangePage2);
        EXPECT_EQ(ShownIds(*m_function), c.rangePage2Ids);
        int back = static_cast<int>(std::find(c.rangePage2.begin(), c.rangePage2.end(), "<-other") -
                                    c.rangePage2.begin());
        m_function->OnSoftKey(back);
        EXPECT_EQ(ShownPage(*m_function), c.rangePage1);
    } else if (c.rangePage1[5].empty()) {
        // A one-page list has no page key; its empty positions do nothing.
        m_function->OnSoftKey(5);
        EXPECT_EQ(ShownPage(*m_function), c.rangePage1);
    }
    m_function->ShowMainMenu();
    m_function->OnSoftKey(1);
    EXPECT_EQ(ShownPage(*m_function), HasSpeed(c) ? c.speedPage : c.mainPage);
    EXPECT_EQ(ShownIds(*m_function), HasSpeed(c) ? c.speedIds : c.mainIds);
    // Page keys send nothing.
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(PausesMs().empty());
}

TEST_P(RangedMenu, EachRangeChoiceSendsItsRangeSettlesAndReturnsToTheMainPage) {
    const RangedCase& c = GetParam();
    ASSERT_EQ(c.rangeChoiceIds.size(), c.rangeCommands.size());
    std::string lastManual = c.defaultRange;
    for (size_t i = 0; i < c.rangeChoiceIds.size(); ++i) {
        int id = c.rangeChoiceIds[i];
        SCOPED_TRACE(c.rangeCommands[i]);
        m_function->ShowMainMenu();
        m_function->OnSoftKey(0);
        auto onPage1 = std::find(c.rangePage1Ids.begin(), c.rangePage1Ids.end(), id);
        if (onPage1 != c.rangePage1Ids.end()) {
            m_function->OnSoftKey(static_cast<int>(onPage1 - c.rangePage1Ids.begin()));
        } else {
            m_function->OnSoftKey(5);
            auto onPage2 = std::find(c.rangePage2Ids.begin(), c.rangePage2Ids.end(), id);
            ASSERT_NE(onPage2, c.rangePage2Ids.end());
            m_function->OnSoftKey(static_cast<int>(onPage2 - c.rangePage2Ids.begin()));
        }
        std::string keyText = m_function->GetItem(id)->m_keyText;
        EXPECT_EQ(ShownPage(*m_function), c.mainPage);
        EXPECT_EQ(m_function->GetSoftKeySubtitle(0), keyText);
        EXPECT_EQ(Checked(*m_function, c.rangeChoiceIds), std::vector<int>{id});
        EXPECT_EQ(Timeline(), (std::vector<std::string>{c.rangeCommands[i], "pause 300"}));
        if (i == 0) {
            // "Auto" keeps the last range until the instrument reports one.
            EXPECT_EQ(m_function->GetRangeMode(), "Auto");
            EXPECT_EQ(m_function->GetRange(), lastManual);
        } else {
            EXPECT_EQ(m_function->GetRangeMode(), "Manual");
            EXPECT_EQ(m_function->GetRange(), keyText);
            lastManual = keyText;
        }
    }
    m_function->ShowMainMenu();
    EXPECT_EQ(m_function->GetSoftKeySubtitle(0), lastManual);
}

TEST_P(RangedMenu, SpeedChoicesSendTheirCyclesAndSettle) {
    const RangedCase& c = GetParam();
    if (!HasSpeed(c)) {
        // No speed key: position 1 of the main page is empty and inert.
        m_function->ShowMainMenu();
        m_function->OnSoftKey(1);
        EXPECT_EQ(ShownIds(*m_function), c.mainIds);
        EXPECT_TRUE(Sent().empty());
        return;
    }
    const std::pair<int, const char*> choices[] = {{1, "1"}, {2, "0.3"}, {0, "10"}};
    for (const auto& [position, cycles] : choices) {
        SCOPED_TRACE(cycles);
        m_function->ShowMainMenu();
        m_function->OnSoftKey(1);
        m_function->OnSoftKey(position);
        std::string choice = c.speedPage[static_cast<size_t>(position)];
        EXPECT_EQ(ShownPage(*m_function), c.mainPage);
        EXPECT_EQ(m_function->GetSoftKeySubtitle(1), choice);
        EXPECT_EQ(m_function->GetSpeed(), choice);
        EXPECT_EQ(Checked(*m_function, {c.speedIds[0], c.speedIds[1], c.speedIds[2]}),
                  std::vector<int>{c.speedIds[static_cast<size_t>(position)]});
        // Unlike DC voltage, a speed change settles for 100 ms.
        EXPECT_EQ(Timeline(),
                  (std::vector<std::string>{std::string(c.root) + ":NPLC " + cycles, "pause 100"}));
    }
}

TEST_P(RangedMenu, TogglesSendTheNewlyHighlightedOptionAndSettle) {
    const RangedCase& c = GetParam();
    m_function->ShowMainMenu();
    std::vector<std::pair<int, std::string>> toggles;
    if (c.hasFilter) {
        toggles.emplace_back(2, "FILTER");
    }
    toggles.emplace_back(4, "NULL");
    for (const auto& [position, setting] : toggles) {
        for (const char* state : {"ON", "OFF"}) {
            m_function->OnSoftKey(position);
            EXPECT_EQ(Timeline(),
                      (std::vector<std::string>{std::string(c.root) + ":" + setting + " " + state,
                                                "pause 100"}));
            EXPECT_EQ(ShownPage(*m_function), c.mainPage);
        }
    }
    m_function->OnSoftKey(4);
    EXPECT_EQ(m_function->GetRel(), "On");
    EXPECT_EQ(m_function->GetSoftKeyItem(4)->m_optionAColor, CMenuItem::kHighlightColor);
    EXPECT_EQ(m_function->GetFilter(), c.hasFilter ? "Off" : "");
}

INSTANTIATE_TEST_SUITE_P(Functions, RangedMenu, ::testing::ValuesIn(RangedCases()), CaseName);

}  // namespace
}  // namespace kvt::test
