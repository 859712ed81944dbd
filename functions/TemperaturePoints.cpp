#include "functions/TemperaturePoints.h"

#include "link/ReplyFields.h"

namespace kvt::functions {

std::vector<TemperaturePoint> ParseTemperaturePoints(std::string_view reply) {
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) {
        reply.remove_suffix(1);
    }
    std::vector<TemperaturePoint> rows;
    for (std::string_view entry : link::SplitFields(reply)) {
        TemperaturePoint row;
        size_t first = entry.find('|');
        if (first == std::string_view::npos) {
            row.temperature = entry;
        } else {
            std::string_view rest = entry.substr(first + 1);
            size_t second = rest.find('|');
            row.voltage = rest.substr(0, second);
            if (second != std::string_view::npos) {
                row.temperature = rest.substr(second + 1);
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace kvt::functions
