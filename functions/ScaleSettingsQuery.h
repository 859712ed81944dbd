#pragma once

#include "functions/KVTScaleSettings.h"

namespace kvt::functions {

// The instrument's dB/dBm scaling: state, function, dBm and dB references
// and automatic reference, queried in that order; valid is set.
KVTScaleSettings QueryScaleSettings();

}  // namespace kvt::functions
