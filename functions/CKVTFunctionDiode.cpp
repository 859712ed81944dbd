#include "functions/CKVTFunctionDiode.h"

#include "link/ReadingReply.h"

namespace kvt::functions {

CKVTFunctionDiode::CKVTFunctionDiode(IFrontPanelServices* panel)
    : CKVTFunctionOpenReading(panel, "Diode") {}

CKVTFunctionDiode::~CKVTFunctionDiode() {
    Shutdown();
}

void CKVTFunctionDiode::Init() {
    CKVTFunction::Init();
    AddMenuItem(kBeeperKey, 1, "", "Beeper", "", "On", "Off", CMenuItem::kOptionToggle);
    CreateWorker();
    SetReadingText(std::string(link::kOpenText));
    m_beeper = "On";
}

void CKVTFunctionDiode::OnMenuItem(int) {
    // The beeper is the only item.
    SendBeeper(kBeeperKey);
}

void CKVTFunctionDiode::SyncFromInstrument() {}

void CKVTFunctionDiode::ShowMainMenu() {
    GetItem(kBeeperKey)->SetValue(m_beeper);
    const int page[] = {kBeeperKey};
    ShowSoftKeys(1, page);
    if (m_panel != nullptr) {
        m_panel->SetViewsUnit("V");
    }
    CKVTFunction::SyncFromInstrument();
}

std::string CKVTFunctionDiode::GetBaseUnit() {
    return "V";
}

std::string CKVTFunctionDiode::GetUnitLabel() {
    return {};
}

}  // namespace kvt::functions
