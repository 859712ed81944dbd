#include "functions/FunctionSet.h"

#include <initializer_list>

#include "functions/CKVTFunctionACI.h"
#include "functions/CKVTFunctionACV.h"
#include "functions/CKVTFunctionCap.h"
#include "functions/CKVTFunctionCont.h"
#include "functions/CKVTFunctionDCI.h"
#include "functions/CKVTFunctionDCV.h"
#include "functions/CKVTFunctionDiode.h"
#include "functions/CKVTFunctionFRES.h"
#include "functions/CKVTFunctionFreqPer.h"
#include "functions/CKVTFunctionRES.h"
#include "functions/CKVTFunctionTemperature.h"

namespace kvt::functions {

FunctionSet::FunctionSet(IFrontPanelServices* panel) {
    auto enter = [this](std::unique_ptr<CKVTFunction> function,
                        std::initializer_list<const char*> names) {
        function->Init();
        for (const char* name : names) {
            m_byName[name] = function.get();
        }
        m_owned.push_back(std::move(function));
    };
    enter(std::make_unique<CKVTFunctionDCV>(panel), {"VOLT"});
    enter(std::make_unique<CKVTFunctionDCI>(panel), {"CURR"});
    enter(std::make_unique<CKVTFunctionACV>(panel), {"VOLT:AC"});
    enter(std::make_unique<CKVTFunctionACI>(panel), {"CURR:AC"});
    enter(std::make_unique<CKVTFunctionRES>(panel), {"RES"});
    enter(std::make_unique<CKVTFunctionFRES>(panel), {"FRES"});
    enter(std::make_unique<CKVTFunctionCap>(panel), {"CAP"});
    enter(std::make_unique<CKVTFunctionFreqPer>(panel), {"FREQ", "PER"});
    enter(std::make_unique<CKVTFunctionCont>(panel), {"CONT"});
    enter(std::make_unique<CKVTFunctionDiode>(panel), {"DIOD"});
    enter(std::make_unique<CKVTFunctionTemperature>(panel), {"TEMP"});
}

FunctionSet::~FunctionSet() {
    Shutdown();
}

CKVTFunction* FunctionSet::Find(const std::string& instrumentName) const {
    auto found = m_byName.find(instrumentName);
    return found == m_byName.end() ? nullptr : found->second;
}

void FunctionSet::SetRecorder(BackgroundRecorder* recorder) {
    for (const auto& function : m_owned) {
        function->SetRecorder(recorder);
    }
}

void FunctionSet::Shutdown() {
    for (const auto& function : m_owned) {
        function->Shutdown();
    }
}

}  // namespace kvt::functions
