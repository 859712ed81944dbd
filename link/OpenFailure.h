#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// Why opening a resource fails, in words a user can act on: no USB
// instrument found, no permission to open it (with a pointer to the udev
// rule in README.md), the address refused or silent, the address
// incomplete, the instrument busy, the VISA library missing. Call it after
// IConnection::Open failed: it repeats the open's steps (resource manager,
// search for a search expression, open) to learn the VISA status, and
// closes whatever it opened. When the repeat succeeds, it says so.
std::string DescribeOpenFailure(std::string_view resource);

}  // namespace kvt::link
