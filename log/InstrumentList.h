#pragma once

#include <string>
#include <vector>

namespace kvt::logger {

// The instruments found, as VISA resource names, for --list: what the
// VISA layer's search for "?*INSTR" finds: USB meters (and the simulated
// meter when KORVATA_VISA_SIMULATE=1) and the VXI-11 instruments that
// answer its portmapper broadcast on the local networks (about a second).
// False, with the reason, when the search itself failed (an empty list is
// no failure).
bool ListInstruments(std::vector<std::string>& found, std::string& error);

}  // namespace kvt::logger
