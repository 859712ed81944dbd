#include "functions/TrendReply.h"

#include <algorithm>

#include "link/Numbers.h"
#include "link/ReadingReply.h"

namespace kvt::functions {

void ParseTrendReply(std::string_view reply, bool recent, KVTTrendData& trend) {
    int count = 0;
    if (reply.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        size_t start = 0;
        while (count < kTrendCapacity) {
            size_t comma = reply.find(',', start);
            size_t length = comma == std::string_view::npos ? reply.size() - start : comma - start;
            trend.values[count++] = link::ParseNumber(reply.substr(start, length));
            if (comma == std::string_view::npos) {
                break;
            }
            start = comma + 1;
        }
    }
    trend.count = count;
    double* values = trend.values.data();
    if (recent) {
        std::reverse(values, values + count);
    }
    double minimum = count > 0 ? values[0] : 0.0;
    double maximum = minimum;
    for (int i = 1; i < count; ++i) {
        double value = values[i];
        if (value > -link::kOverloadLevel && value < minimum) {
            minimum = value;
        }
        if (value < link::kOverloadLevel && value > maximum) {
            maximum = value;
        }
    }
    trend.minimum = minimum;
    trend.maximum = maximum;
}

}  // namespace kvt::functions
