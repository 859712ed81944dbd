#include "link/ConnectionSequences.h"

#include "link/CoreCommands.h"
#include "link/IConnection.h"
#include "link/Pacer.h"

namespace kvt::link {

std::string StartMeasuring() {
    std::string function = GetFunction();
    SetTriggerCountInfinite();
    Pause(kStartupTriggerPause);
    Initiate();
    return function;
}

bool SelectFunction(std::string_view name) {
    if (!GetConnection()->IsOpen()) {
        return false;
    }
    SetFunction(name);
    Pause(kFunctionSettlePause);
    return true;
}

void ReleaseInstrument() {
    SendPanelKey(kKeyDisconnect);
}

}  // namespace kvt::link
