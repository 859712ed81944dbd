#pragma once

#include "functions/CKVTFunctionRES.h"

namespace kvt::functions {

// 4-wire resistance: the 2-wire function's keys, ranges and display with
// its own item ids (16 higher) and its own commands.
class CKVTFunctionFRES : public CKVTFunctionRES {
public:
    explicit CKVTFunctionFRES(IFrontPanelServices* panel);
    ~CKVTFunctionFRES() override;
};

}  // namespace kvt::functions
