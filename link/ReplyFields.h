#pragma once

#include <string_view>
#include <vector>

namespace kvt::link {

// The comma-separated fields of a reply, in order, as views into it (no
// copies: trend and histogram replies run to a megabyte). "a,,b" has
// three fields, the middle one empty; an empty reply has one empty field.
std::vector<std::string_view> SplitFields(std::string_view reply);

}  // namespace kvt::link
