#include "views/FunctionCommand.h"

#include "functions/CKVTFunction.h"
#include "functions/IFrontPanelServices.h"
#include "link/Pacer.h"
#include "views/CWaitCursor.h"

namespace kvt::views {

namespace {

// The function keeps its command lock (its m_lock taken ahead of the
// worker's next cycle) for its own family. Naming it through a derived
// class gives the views the very same lock, so that their commands queue
// with the function's settings commands and the worker's cycles.
class CommandLockAccess : public functions::CKVTFunction {
public:
    static functions::CReadingWorker::CommandLock Take(functions::CKVTFunction& function) {
        return (function.*(&CommandLockAccess::LockForCommand))();
    }
};

}  // namespace

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
    auto guard = CommandLockAccess::Take(*function);
    send();
    link::Pause(kCommandPause);
    return true;
}

}  // namespace kvt::views
