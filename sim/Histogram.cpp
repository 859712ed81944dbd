#include "sim/Histogram.h"

#include <cmath>
#include <vector>

#include "sim/ScpiText.h"

namespace kvt::sim {
namespace {

bool Binnable(double value) {
    return std::isfinite(value) && std::fabs(value) < 9.9e37;
}

}  // namespace

void Histogram::Reset() {
    *this = Histogram();
}

bool Histogram::SetPoints(int bins) {
    if (bins < 1 || bins > kMaxBins) {
        return false;
    }
    m_points = bins;
    return true;
}

void Histogram::AppendReply(const ReadingRecord& record, std::string& out) const {
    uint64_t first = record.FirstFrom(m_mark);
    uint64_t end = record.Next();
    double lower = m_lower;
    double upper = m_upper;
    size_t bins = m_auto ? kAutoBins : static_cast<size_t>(m_points);
    if (m_auto) {
        bool any = false;
        for (uint64_t seq = first; seq < end; ++seq) {
            double v = record.At(seq);
            if (Binnable(v)) {
                lower = any ? std::fmin(lower, v) : v;
                upper = any ? std::fmax(upper, v) : v;
                any = true;
            }
        }
        if (!any) {
            lower = 0;
            upper = 0;
        }
    }
    std::vector<int64_t> counts(bins, 0);
    int64_t below = 0;
    int64_t above = 0;
    int64_t total = 0;
    double width = upper - lower;
    for (uint64_t seq = first; seq < end; ++seq) {
        double v = record.At(seq);
        if (!Binnable(v)) {
            continue;
        }
        ++total;
        if (v < lower) {
            ++below;
        } else if (v > upper) {
            ++above;
        } else if (!(width > 0)) {
            // No span: everything at the single value goes into the first bin.
            ++counts[0];
        } else {
            double position = (v - lower) / width * static_cast<double>(bins);
            size_t index =
                position >= static_cast<double>(bins) ? bins - 1 : static_cast<size_t>(position);
            ++counts[index];
        }
    }
    scpi::AppendScientific(out, lower);
    out += ',';
    scpi::AppendScientific(out, upper);
    out += ',';
    scpi::AppendInteger(out, total);
    out += ',';
    scpi::AppendInteger(out, below);
    for (int64_t count : counts) {
        out += ',';
        scpi::AppendInteger(out, count);
    }
    out += ',';
    scpi::AppendInteger(out, above);
    out += '\n';
}

}  // namespace kvt::sim
