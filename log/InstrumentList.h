#pragma once

#include <string>
#include <vector>

namespace kvt::logger {

// The instruments found, as VISA resource names, for --list: those the
// VISA layer's search finds (USB, and the simulated meter when
// KORVATA_VISA_SIMULATE=1), then those found on the network. False, with
// the reason, when the search itself failed (an empty list is no failure).
bool ListInstruments(std::vector<std::string>& found, std::string& error);

// Instruments found on the local network. There is no network discovery
// yet: this finds none. When discovery exists it answers here, and --list
// shows its finds after the USB ones.
std::vector<std::string> FindNetworkInstruments();

}  // namespace kvt::logger
