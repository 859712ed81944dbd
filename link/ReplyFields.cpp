#include "link/ReplyFields.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/range/iterator_range.hpp>

namespace kvt::link {

std::vector<std::string_view> SplitFields(std::string_view reply) {
    std::vector<boost::iterator_range<std::string_view::const_iterator>> ranges;
    boost::algorithm::split(ranges, reply, boost::is_any_of(","));
    std::vector<std::string_view> fields;
    fields.reserve(ranges.size());
    for (const auto& range : ranges) {
        fields.emplace_back(range.begin(), range.end());
    }
    return fields;
}

}  // namespace kvt::link
