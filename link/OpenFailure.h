#pragma once

#include <string>
#include <string_view>

#include "link/CConectWithNI.h"

namespace kvt::link {

// Why opening a resource failed, in words a user can act on: no USB
// instrument found, no permission to open it (with a pointer to the udev
// rule in README.md), the address refused or silent, the address
// incomplete, the instrument busy, the VISA library missing. It explains
// the step and status the failed Open kept; it opens nothing itself, so a
// silent address costs one open timeout, not two.
std::string DescribeOpenFailure(std::string_view resource,
                                const CConectWithNI::OpenFailure& failure);

// The same for the last Open of the program's one connection.
std::string DescribeOpenFailure(std::string_view resource);

}  // namespace kvt::link
