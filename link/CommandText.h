#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// Writes one command built from parts through the one connection and
// returns the Write result. The command is sent exactly as joined.
bool WriteCommand(std::string_view prefix, std::string_view argument = {});

}  // namespace kvt::link
