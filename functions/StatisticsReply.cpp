#include "functions/StatisticsReply.h"

#include <array>
#include <climits>
#include <cmath>

#include "link/ReadingReply.h"
#include "link/ReplyFields.h"

namespace kvt::functions {

std::string StatisticText(std::string_view field) {
    if (link::IsOverload(field)) {
        return std::string(link::kOverloadText);
    }
    return std::string(field);
}

void ApplyAverageFields(std::string_view reply, KVTStatistics& statistics) {
    const std::array<std::string*, 4> targets{&statistics.average, &statistics.standardDeviation,
                                              &statistics.maximum, &statistics.minimum};
    std::vector<std::string_view> fields = link::SplitFields(reply);
    for (size_t i = 0; i < targets.size(); ++i) {
        *targets[i] = i < fields.size() ? StatisticText(fields[i]) : std::string();
    }
}

int CountFromValue(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    value = std::trunc(value);
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace kvt::functions
