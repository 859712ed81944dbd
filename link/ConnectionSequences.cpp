#include "link/ConnectionSequences.h"

#include "link/CoreCommands.h"
#include "link/ExchangeSequence.h"
#include "link/IConnection.h"
#include "link/Pacer.h"

namespace kvt::link {

std::string StartMeasuring() {
    std::string function = GetFunction();
    SetTriggerCountInfinite();
    if (!ExchangeSequence::Failing()) {
        Pause(kStartupTriggerPause);
    }
    Initiate();
    return function;
}

bool SelectFunction(std::string_view name) {
    if (!GetConnection()->IsOpen()) {
        return false;
    }
    SetFunction(name);
    // Nothing settles after a sequence failed: the instrument took no
    // function, and the caller's next exchanges fail at once.
    if (!ExchangeSequence::Failing()) {
        Pause(kFunctionSettlePause);
    }
    return true;
}

void ReleaseInstrument() {
    SendPanelKey(kKeyDisconnect);
}

}  // namespace kvt::link
