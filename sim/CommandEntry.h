#pragma once

#include "sim/CommandContext.h"
#include "sim/HeaderPattern.h"

namespace kvt::sim {

// One header of the command set and what it does.
struct CommandEntry {
    HeaderPattern pattern;
    void (*run)(CommandContext& context);
};

}  // namespace kvt::sim
