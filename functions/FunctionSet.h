#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "functions/CKVTFunction.h"
#include "functions/IFrontPanelServices.h"

namespace kvt::functions {

// The eleven measurement functions of one front panel, each initialised,
// found by the instrument's name for it: "VOLT", "CURR", "VOLT:AC",
// "CURR:AC", "RES", "FRES", "CAP", "FREQ" and "PER" (one function for
// both), "CONT", "DIOD", "TEMP". The window and the command-line logger
// build the same set.
class FunctionSet {
public:
    explicit FunctionSet(IFrontPanelServices* panel);
    // Stops every worker before the functions go.
    ~FunctionSet();
    FunctionSet(const FunctionSet&) = delete;
    FunctionSet& operator=(const FunctionSet&) = delete;

    // The function for the instrument's name, or null.
    CKVTFunction* Find(const std::string& instrumentName) const;
    // Every function once, in the order of the meter's function keys.
    const std::vector<std::unique_ptr<CKVTFunction>>& All() const { return m_owned; }
    // Every function hands its accepted readings to recorder (null: none).
    void SetRecorder(BackgroundRecorder* recorder);
    // Stops and joins every worker, sending nothing.
    void Shutdown();

private:
    std::map<std::string, CKVTFunction*> m_byName;
    std::vector<std::unique_ptr<CKVTFunction>> m_owned;
};

}  // namespace kvt::functions
