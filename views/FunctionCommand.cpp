#include "views/FunctionCommand.h"

#include "functions/CKVTFunction.h"
#include "functions/IFrontPanelServices.h"
#include "link/ExchangeSequence.h"
#include "link/Pacer.h"
#include "views/CWaitCursor.h"

namespace kvt::views {

bool SendUnderFunctionLock(functions::IFrontPanelServices* panel,
                           const std::function<void()>& send) {
    if (panel == nullptr) {
        return false;
    }
    functions::CKVTFunction* function = panel->GetCurrentFunction();
    if (function == nullptr) {
        return false;
    }
    CWaitCursor wait;
    link::ExchangeSequence sequence;
    // The function's own command lock: view commands queue with its
    // settings commands and never land inside a reading cycle.
    auto guard = function->LockForCommand();
    send();
    // A command that failed needs no settling.
    if (!link::ExchangeSequence::Failing()) {
        link::Pause(kCommandPause);
    }
    return true;
}

}  // namespace kvt::views
