#include "functions/ScaleSettingsQuery.h"

#include "link/AnalysisCommands.h"

namespace kvt::functions {

KVTScaleSettings QueryScaleSettings() {
    KVTScaleSettings scale;
    scale.state = link::GetScaleState();
    scale.function = link::GetScaleFunction();
    scale.dbmReference = link::GetDbmReference();
    scale.dbReference = link::GetDbReference();
    scale.valid = true;
    scale.referenceAuto = link::GetScaleAutoReference();
    return scale;
}

}  // namespace kvt::functions
