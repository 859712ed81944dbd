#pragma once

#include <cstdint>
#include <string>

#include "functions/IKVTMenuItemListener.h"

namespace kvt::functions {

// One soft-key item: its position, its four labels with their colours, and
// how a press changes them. A plain value; the owning function keeps the
// items in a table and shows some of them as the current page.
class CMenuItem {
public:
    enum Kind : int { kPlain = 0, kTitleToggle = 1, kOptionToggle = 2 };

    static constexpr uint32_t kNormalColor = 0xFFFFFF;
    static constexpr uint32_t kHighlightColor = 0xE1FE01;
    // Key backgrounds the front panel paints for checked and clear items.
    static constexpr uint32_t kCheckedBackground = 0xFF1737D5;
    static constexpr uint32_t kClearBackground = 0xFF808080;

    CMenuItem() = default;
    CMenuItem(int id, int position, IKVTMenuItemListener* listener, int kind);

    // Toggles swap their highlight first; then the listener hears of it.
    void Press();

    // Option toggles: the highlighted option; setting a value that is not
    // option A highlights option B.
    std::string GetValue() const;
    void SetValue(const std::string& value);

    // Title toggles: the highlighted one of title and subtitle.
    std::string GetTitleChoice() const;
    void SetTitleChoice(const std::string& value);

    void SetKeyText(const std::string& text) { m_keyText = text; }
    void SetTitle(const std::string& text) { m_title = text; }
    void SetSubtitle(const std::string& text) { m_subtitle = text; }
    void SetOptionA(const std::string& text) { m_optionA = text; }
    void SetOptionB(const std::string& text) { m_optionB = text; }

    int m_id = 0;
    int m_position = 0;
    IKVTMenuItemListener* m_listener = nullptr;
    std::string m_keyText;
    std::string m_title;
    std::string m_subtitle;
    std::string m_optionA;
    std::string m_optionB;
    uint32_t m_titleColor = kNormalColor;
    uint32_t m_subtitleColor = kHighlightColor;
    uint32_t m_optionAColor = kNormalColor;
    uint32_t m_optionBColor = kHighlightColor;
    int m_kind = kPlain;
    bool m_checked = false;
};

}  // namespace kvt::functions
