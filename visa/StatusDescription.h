#pragma once

#include "visa/visa.h"

namespace kvt::visa {

// The text viStatusDesc gives for a status value, or nullptr for one this
// library does not know.
const char* StatusDescription(ViStatus status);

}  // namespace kvt::visa
