#include "functions/CKVTFunctionCont.h"

#include <array>

#include "link/Numbers.h"
#include "link/ReadingReply.h"
#include "link/SettingsCommands.h"

namespace kvt::functions {
namespace {

constexpr std::array<int, 2> kMainPage{85, 86};
constexpr int kFirstDigit = 1;
constexpr int kLastDigit = 4;

}  // namespace

CKVTFunctionCont::CKVTFunctionCont(IFrontPanelServices* panel)
    : CKVTFunctionOpenReading(panel, "Continuity") {}

CKVTFunctionCont::~CKVTFunctionCont() {
    Shutdown();
}

void CKVTFunctionCont::Init() {
    CKVTFunction::Init();
    AddMenuItem(kBeeperKey, 0, "", "Beeper", "", "On", "Off", CMenuItem::kOptionToggle);
    AddMenuItem(kThresholdKey, 1, "", "Threshold", "", "", "", CMenuItem::kPlain);
    CreateWorker();
    SetReadingText(std::string(link::kOpenText));
    m_beeper = "On";
    m_threshold = ThresholdText(50);
    m_cursor = kFirstDigit;
}

std::string CKVTFunctionCont::ThresholdText(int ohms) {
    std::string digits = link::FormatInteger(ohms);
    if (digits.size() < 4) {
        digits.insert(0, 4 - digits.size(), '0');
    }
    return "+" + digits + " Ω";
}

int CKVTFunctionCont::ThresholdValue() const {
    // m_threshold always has the form "+dddd Ω".
    return link::ParseInteger(m_threshold);
}

void CKVTFunctionCont::OnMenuItem(int itemId) {
    // The threshold key is a label; only the beeper sends anything.
    if (itemId == kBeeperKey) {
        SendBeeper(kBeeperKey);
    }
}

void CKVTFunctionCont::SyncFromInstrument() {
    auto guard = LockForCommand();
    m_beeper = link::GetBeeper();
    std::string threshold = link::GetContinuityThreshold();
    // The field shows the meter's own threshold whenever its form (a sign
    // and four digits) can hold it, even above the 2000 ohms that edits
    // keep to: a stale value would mislead. A missing or malformed reply,
    // or one the form cannot hold, keeps the current text.
    if (!threshold.empty() && threshold.find_first_not_of("+-0123456789") == std::string::npos) {
        int ohms = link::ParseInteger(threshold);
        if (ohms >= 0 && ohms <= kMaxShownThreshold) {
            m_threshold = ThresholdText(ohms);
        }
    }
    CKVTFunction::SyncFromInstrument();
}

void CKVTFunctionCont::ShowMainMenu() {
    GetItem(kBeeperKey)->SetValue(m_beeper);
    ShowSoftKeys(static_cast<int>(kMainPage.size()), kMainPage.data());
    if (m_panel != nullptr) {
        m_panel->SetViewsUnit("Ω");
    }
}

std::string CKVTFunctionCont::GetBaseUnit() {
    return "Ω";
}

std::string CKVTFunctionCont::GetUnitLabel() {
    return "Ω";
}

void CKVTFunctionCont::OnSoftKey(int position) {
    CKVTFunction::OnSoftKey(position);
    int step = 1;
    for (int digit = m_cursor; digit < kLastDigit; ++digit) {
        step *= 10;
    }
    if (position == kCursorLeft) {
        m_cursor = m_cursor > kFirstDigit ? m_cursor - 1 : kFirstDigit;
    } else if (position == kCursorRight) {
        m_cursor = m_cursor < kLastDigit ? m_cursor + 1 : kLastDigit;
    } else if (position == kCursorUp) {
        StepThreshold(step);
    } else if (position == kCursorDown) {
        StepThreshold(-step);
    }
}

void CKVTFunctionCont::StepThreshold(int delta) {
    int value = ThresholdValue() + delta;
    if (value >= 0 && value <= kMaxThreshold) {
        m_threshold = ThresholdText(value);
    }
    // Sent through the connection's own lock only, with no settle pause.
    link::SetContinuityThreshold(m_threshold.substr(1, 4));
}

bool CKVTFunctionCont::HasTinyMenu() {
    return true;
}

std::string CKVTFunctionCont::GetTinyMenuText() {
    return m_threshold;
}

int CKVTFunctionCont::GetTinyMenuCursor() {
    return m_cursor;
}

void CKVTFunctionCont::GetTinyMenuRect(int& left, int& top, int& right, int& bottom) {
    left = 108;
    top = 207;
    right = 216;
    bottom = 225;
}

}  // namespace kvt::functions
