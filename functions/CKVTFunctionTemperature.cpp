#include "functions/CKVTFunctionTemperature.h"

#include <array>
#include <chrono>
#include <cmath>
#include <utility>

#include "functions/AnalysisFetch.h"
#include "functions/ProgramRecords.h"
#include "link/CoreCommands.h"
#include "link/Numbers.h"
#include "link/Pacer.h"
#include "link/ReadingReply.h"
#include "link/TemperatureCommands.h"

namespace kvt::functions {
namespace {

constexpr std::chrono::milliseconds kSettlePause{100};
constexpr std::chrono::milliseconds kDisplayPause{300};

constexpr std::array<int, 4> kMainPage{88, 89, 90, 91};
constexpr std::array<int, 3> kDisplayPage{127, 128, 129};
constexpr std::array<int, 3> kUnitPage{130, 131, 132};
constexpr std::array<const char*, 3> kDisplayModes{"Temp Val", "Meas Val", "All"};
constexpr std::array<const char*, 3> kUnits{"℃", "℉", "K"};
constexpr size_t kShownLength = 8;

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool Unread(const std::string& text) {
    return text == CKVTFunction::kPlaceholder || text == link::kOverloadText;
}

// Checks the item of the group whose text is value; none when none matches.
template <size_t N>
void SelectByText(CKVTFunction& function, int firstId, const std::array<const char*, N>& texts,
                  const std::string& value) {
    for (size_t i = 0; i < N; ++i) {
        if (value == texts[i]) {
            int id = firstId + static_cast<int>(i);
            function.SelectInGroup(firstId, firstId + static_cast<int>(N) - 1, id);
        }
    }
}

}  // namespace

CKVTFunctionTemperature::CKVTFunctionTemperature(IFrontPanelServices* panel)
    : CKVTFunction(panel, "Temperature") {}

CKVTFunctionTemperature::~CKVTFunctionTemperature() {
    Shutdown();
}

void CKVTFunctionTemperature::Init() {
    CKVTFunction::Init();
    AddMenuItem(kLoadKey, 0, "", "Load", "KITS90", "", "", CMenuItem::kPlain);
    AddMenuItem(kDisplayKey, 1, "", "Display", "Temp Val", "", "", CMenuItem::kPlain);
    AddMenuItem(kUnitsKey, 3, "", "Units", "℃", "", "", CMenuItem::kPlain);
    AddMenuItem(kRelKey, 4, "", "Rel", "", "On", "Off", CMenuItem::kOptionToggle);
    for (int i = 0; i < 3; ++i) {
        AddMenuItem(kDisplayTemp + i, i, kDisplayModes[i], "", "", "", "", CMenuItem::kPlain);
        AddMenuItem(kUnitCelsius + i, i, kUnits[i], "", "", "", "", CMenuItem::kPlain);
    }
    CreateWorker();
    std::lock_guard<std::mutex> guard(m_textLock);
    m_readingText = kPlaceholder;
    m_unitLabel = "℃";
    m_sensor = "BITS90";
    m_display = "All";
    m_unit = "℃";
    m_measuredText = kPlaceholder;
}

void CKVTFunctionTemperature::ShowMainPage() {
    ShowSoftKeys(static_cast<int>(kMainPage.size()), kMainPage.data());
}

void CKVTFunctionTemperature::OnMenuItem(int itemId) {
    if (itemId == kLoadKey) {
        if (m_panel != nullptr) {
            m_panel->ShowSensorDialog();
        }
        return;
    }
    if (itemId == kDisplayKey) {
        ShowSoftKeys(static_cast<int>(kDisplayPage.size()), kDisplayPage.data());
        return;
    }
    if (itemId == kUnitsKey) {
        ShowSoftKeys(static_cast<int>(kUnitPage.size()), kUnitPage.data());
        return;
    }
    if (itemId == kRelKey) {
        m_null = GetItem(kRelKey)->GetValue();
        auto guard = LockForCommand();
        link::SetTempNull(m_null);
        link::Pause(kSettlePause);
        return;
    }
    if (itemId >= kDisplayTemp && itemId <= kDisplayAll) {
        SelectInGroup(kDisplayTemp, kDisplayAll, itemId);
        ShowMainPage();
        {
            std::lock_guard<std::mutex> text(m_textLock);
            m_display = GetItem(itemId)->m_keyText;
        }
        // The display mode lives in the program only; nothing is sent.
        auto guard = LockForCommand();
        link::Pause(kDisplayPause);
    } else if (itemId >= kUnitCelsius && itemId <= kUnitKelvin) {
        SelectInGroup(kUnitCelsius, kUnitKelvin, itemId);
        ShowMainPage();
        auto guard = LockForCommand();
        std::string unit = GetItem(itemId)->m_keyText;
        {
            std::lock_guard<std::mutex> text(m_textLock);
            m_unit = unit;
            m_unitLabel = unit;
        }
        link::SetTemperatureUnit(unit);
        link::Pause(kSettlePause);
    } else {
        return;
    }
    if (m_panel != nullptr) {
        m_panel->SetViewsUnit(GetDisplayMode() == "Meas Val" ? "V" : GetUnit());
    }
}

void CKVTFunctionTemperature::SyncFromInstrument() {
    auto guard = LockForCommand();
    std::string sensor = link::GetTemperatureTransducer();
    std::string unit = link::GetTemperatureUnit();
    {
        std::lock_guard<std::mutex> text(m_textLock);
        m_sensor = std::move(sensor);
        m_display = "Temp Val";
        m_unit = unit;
        m_unitLabel = unit;
    }
    m_null = link::GetTempNull();
    CKVTFunction::SyncFromInstrument();
}

void CKVTFunctionTemperature::ShowMainMenu() {
    GetItem(kLoadKey)->SetSubtitle(GetSensor());
    std::string display = GetDisplayMode();
    GetItem(kDisplayKey)->SetSubtitle(display);
    SelectByText(*this, kDisplayTemp, kDisplayModes, display);
    std::string unit = GetUnit();
    GetItem(kUnitsKey)->SetSubtitle(unit);
    SelectByText(*this, kUnitCelsius, kUnits, unit);
    GetItem(kRelKey)->SetValue(m_null);
    ShowMainPage();
    if (m_panel != nullptr) {
        // The views are labelled in degrees Celsius whatever the unit.
        m_panel->SetViewsUnit("℃");
    }
}

bool CKVTFunctionTemperature::ReadOnce() {
    return true;
}

std::string CKVTFunctionTemperature::LabelFor(const std::string& reading, const std::string& unit) {
    if (Unread(reading)) {
        return unit;
    }
    double magnitude = std::fabs(link::ParseNumber(reading));
    if (magnitude >= 1000) {
        return "k" + unit;
    }
    if (magnitude < 0.001) {
        return "m" + unit;
    }
    return unit;
}

void CKVTFunctionTemperature::SetReadingText(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_unitLabel = LabelFor(text, m_unit);
    m_readingText = text;
}

std::string CKVTFunctionTemperature::DisplayText(const std::string& reading,
                                                 const std::string& unitLabel) {
    if (Unread(reading)) {
        return reading;
    }
    std::string text = reading;
    if (Contains(unitLabel, "k")) {
        text = link::FormatFixed(link::ParseNumber(reading) / 1000, 12);
    } else if (Contains(unitLabel, "m")) {
        text = link::FormatFixed(link::ParseNumber(reading) * 1000, 12);
    }
    if (!Contains(text, "-") && !Contains(text, "+")) {
        text.insert(text.begin(), '+');
    }
    // Three integer digits: "+5.1" becomes "+005.1".
    size_t point = text.find('.');
    if (point != std::string::npos && point < 4) {
        text.insert(1, 4 - point, '0');
    }
    return text.substr(0, kShownLength);
}

std::string CKVTFunctionTemperature::GetDisplayText() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return DisplayText(m_readingText, m_unitLabel);
}

std::string CKVTFunctionTemperature::MeasuredText(const std::string& measured) {
    if (Unread(measured)) {
        return measured;
    }
    std::string text = measured;
    if (!Contains(text, "-") && !Contains(text, "+")) {
        text.insert(text.begin(), '+');
    }
    return text.substr(0, kShownLength);
}

std::string CKVTFunctionTemperature::GetMeasuredText() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return MeasuredText(m_measuredText);
}

std::string CKVTFunctionTemperature::GetDisplayMode() const {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_display;
}

std::string CKVTFunctionTemperature::GetSensor() const {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_sensor;
}

std::string CKVTFunctionTemperature::GetUnit() const {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_unit;
}

std::string CKVTFunctionTemperature::GetRangeMode() {
    return {};
}

bool CKVTFunctionTemperature::UpdateAutoRange() {
    return true;
}

void CKVTFunctionTemperature::SetRange(const std::string&) {}

std::string CKVTFunctionTemperature::GetRange() {
    // The trend chart's default scale is then -100 to 100.
    return "100";
}

std::string CKVTFunctionTemperature::GetBaseUnit() {
    return GetUnitLabel();
}

std::string CKVTFunctionTemperature::GetUnitLabel() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_unitLabel;
}

void CKVTFunctionTemperature::ChooseSensor(int source, int kind, const std::string& name) {
    if (name.empty() || (source != 0 && source != 1) || (kind != 0 && kind != 1)) {
        return;
    }
    GetItem(kLoadKey)->SetSubtitle(name);
    auto guard = LockForCommand();
    link::SetTemperatureTransducer(name, static_cast<link::TransducerKind>(kind),
                                   static_cast<link::TransducerSource>(source));
    link::Pause(kSettlePause);
    std::lock_guard<std::mutex> text(m_textLock);
    m_sensor = name;
}

std::thread::id CKVTFunctionTemperature::CreateWorker() {
    return LaunchReadingWorker();
}

bool CKVTFunctionTemperature::ReadForCycle() {
    link::LastReading reading = link::ReadLastReading();
    if (reading.text.empty()) {
        return false;
    }
    SetReadingText(reading.text);
    RecordReading(reading.meterNumber);
    // A stop request ends the cycle here: nothing more is sent.
    if (m_worker.StopRequested()) {
        return false;
    }
    std::string measured = link::ReadTemperatureCad();
    if (measured.empty()) {
        return false;
    }
    std::lock_guard<std::mutex> text(m_textLock);
    m_measuredText = std::move(measured);
    return true;
}

std::string CKVTFunctionTemperature::RecordedRange() {
    // GetRange only sets the trend chart's scale: a temperature has no range.
    return {};
}

bool CKVTFunctionTemperature::FollowsAutoRange() const {
    return false;
}

}  // namespace kvt::functions
