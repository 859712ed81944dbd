#include "functions/CMenuItem.h"

namespace kvt::functions {
namespace {

// Highlights the first colour and makes the second normal, or the reverse.
void HighlightFirst(bool first, uint32_t& a, uint32_t& b) {
    a = first ? CMenuItem::kHighlightColor : CMenuItem::kNormalColor;
    b = first ? CMenuItem::kNormalColor : CMenuItem::kHighlightColor;
}

}  // namespace

CMenuItem::CMenuItem(int id, int position, IKVTMenuItemListener* listener, int kind)
    : m_id(id), m_position(position), m_listener(listener), m_kind(kind) {}

void CMenuItem::Press() {
    if (m_kind == kTitleToggle) {
        HighlightFirst(m_titleColor == kNormalColor, m_titleColor, m_subtitleColor);
    } else if (m_kind == kOptionToggle) {
        HighlightFirst(m_optionAColor == kNormalColor, m_optionAColor, m_optionBColor);
    }
    if (m_listener != nullptr) {
        m_listener->OnMenuItem(m_id);
    }
}

std::string CMenuItem::GetValue() const {
    return m_optionAColor == kHighlightColor ? m_optionA : m_optionB;
}

void CMenuItem::SetValue(const std::string& value) {
    HighlightFirst(value == m_optionA, m_optionAColor, m_optionBColor);
}

std::string CMenuItem::GetTitleChoice() const {
    return m_titleColor == kHighlightColor ? m_title : m_subtitle;
}

void CMenuItem::SetTitleChoice(const std::string& value) {
    HighlightFirst(value == m_title, m_titleColor, m_subtitleColor);
}

}  // namespace kvt::functions
