// The soft-key item model and the base's page operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "functions/CMenuItem.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

using functions::CMenuItem;

// Remembers each press with the value the item showed when told.
class PressLog final : public functions::IKVTMenuItemListener {
public:
    void OnMenuItem(int itemId) override {
        presses.push_back(itemId);
        values.push_back(item == nullptr ? "" : item->GetValue() + "/" + item->GetTitleChoice());
    }
    std::vector<int> presses;
    std::vector<std::string> values;
    const CMenuItem* item = nullptr;
};

CMenuItem MakeItem(PressLog& log, int kind) {
    CMenuItem item(9, 2, &log, kind);
    item.m_title = "Filter";
    item.m_subtitle = "Alt";
    item.m_optionA = "On";
    item.m_optionB = "Off";
    return item;
}

TEST(MenuItem, NewItemHighlightsSubtitleAndOptionB) {
    PressLog log;
    CMenuItem item = MakeItem(log, CMenuItem::kOptionToggle);
    EXPECT_EQ(item.m_titleColor, CMenuItem::kNormalColor);
    EXPECT_EQ(item.m_subtitleColor, CMenuItem::kHighlightColor);
    EXPECT_EQ(item.m_optionAColor, CMenuItem::kNormalColor);
    EXPECT_EQ(item.m_optionBColor, CMenuItem::kHighlightColor);
    EXPECT_FALSE(item.m_checked);
    EXPECT_EQ(item.GetValue(), "Off");
    EXPECT_EQ(item.GetTitleChoice(), "Alt");
    EXPECT_EQ(CMenuItem::kHighlightColor, 0xE1FE01u);
    EXPECT_EQ(CMenuItem::kNormalColor, 0xFFFFFFu);
}

TEST(MenuItem, PressSwapsTheToggleBeforeTheListenerHears) {
    PressLog log;
    CMenuItem option = MakeItem(log, CMenuItem::kOptionToggle);
    log.item = &option;
    option.Press();
    option.Press();
    option.Press();
    EXPECT_EQ(log.presses, (std::vector<int>{9, 9, 9}));
    EXPECT_EQ(log.values, (std::vector<std::string>{"On/Alt", "Off/Alt", "On/Alt"}));
    EXPECT_EQ(option.m_optionAColor, CMenuItem::kHighlightColor);
    EXPECT_EQ(option.m_optionBColor, CMenuItem::kNormalColor);

    CMenuItem title = MakeItem(log, CMenuItem::kTitleToggle);
    log.item = &title;
    log.values.clear();
    title.Press();
    title.Press();
    EXPECT_EQ(log.values, (std::vector<std::string>{"Off/Filter", "Off/Alt"}));

    CMenuItem plain = MakeItem(log, CMenuItem::kPlain);
    log.item = &plain;
    log.values.clear();
    plain.Press();
    EXPECT_EQ(log.values, (std::vector<std::string>{"Off/Alt"}));
}

TEST(MenuItem, SetValueAndTitleChoiceHighlightTheMatchOrTheOther) {
    PressLog log;
    CMenuItem item = MakeItem(log, CMenuItem::kOptionToggle);
    item.SetValue("On");
    EXPECT_EQ(item.GetValue(), "On");
    item.SetValue("");
    EXPECT_EQ(item.GetValue(), "Off");
    item.SetValue("On");
    item.SetValue("something else");
    EXPECT_EQ(item.GetValue(), "Off");
    item.SetTitleChoice("Filter");
    EXPECT_EQ(item.GetTitleChoice(), "Filter");
    EXPECT_EQ(item.m_subtitleColor, CMenuItem::kNormalColor);
    item.SetTitleChoice("Alt");
    EXPECT_EQ(item.GetTitleChoice(), "Alt");
    EXPECT_TRUE(log.presses.empty());
}

using FunctionPages = FunctionsFixture;

TEST_F(FunctionPages, ShowSoftKeysSkipsUnknownIdsAndLaterIdsWin) {
    m_dcv->AddMenuItem(40, 2, "first", "", "", "", "", CMenuItem::kPlain);
    m_dcv->AddMenuItem(41, 2, "second", "", "", "", "", CMenuItem::kPlain);
    const int ids[] = {40, 99, 41, 8};
    m_dcv->ShowSoftKeys(4, ids);
    EXPECT_EQ(m_dcv->GetSoftKeyText(2), "second");
    EXPECT_EQ(m_dcv->GetSoftKeyText(1), "200mV");
    EXPECT_EQ(m_dcv->GetSoftKeyText(0), "");
    EXPECT_EQ(m_dcv->GetSoftKeyItem(0), nullptr);
    EXPECT_EQ(m_dcv->GetSoftKeyTitle(5), "");

    // A press where nothing is shown does nothing at all.
    m_dcv->OnSoftKey(0);
    m_dcv->OnSoftKey(5);
    EXPECT_TRUE(Sent().empty());

    // Replacing an item keeps the page pointing at the new one.
    m_dcv->AddMenuItem(41, 2, "third", "", "", "", "", CMenuItem::kPlain);
    EXPECT_EQ(m_dcv->GetSoftKeyText(2), "third");
}

TEST_F(FunctionPages, SelectInGroupUnchecksTheFirstCheckedOnly) {
    m_dcv->SelectInGroup(7, 12, 9);
    EXPECT_TRUE(m_dcv->GetItem(9)->m_checked);
    m_dcv->SelectInGroup(7, 12, 11);
    EXPECT_FALSE(m_dcv->GetItem(9)->m_checked);
    EXPECT_TRUE(m_dcv->GetItem(11)->m_checked);

    // With two checked, only the first found is cleared.
    m_dcv->GetItem(8)->m_checked = true;
    m_dcv->SelectInGroup(7, 12, 12);
    EXPECT_FALSE(m_dcv->GetItem(8)->m_checked);
    EXPECT_TRUE(m_dcv->GetItem(11)->m_checked);
    EXPECT_TRUE(m_dcv->GetItem(12)->m_checked);
}

}  // namespace
}  // namespace kvt::test
