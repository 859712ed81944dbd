#include "sim/TrendChart.h"

#include "sim/ScpiText.h"

namespace kvt::sim {

void TrendChart::AppendReply(const ReadingRecord& record, std::string& out) const {
    uint64_t first = record.FirstFrom(m_mark);
    uint64_t end = record.Next();
    if (!m_all && end - first > kRecentCount) {
        first = end - kRecentCount;
    }
    size_t start = out.size();
    out.reserve(start + static_cast<size_t>(end - first) * 16 + 1);
    for (uint64_t seq = first; seq < end; ++seq) {
        if (seq != first) {
            out += ',';
        }
        scpi::AppendScientific(out, record.At(seq));
    }
    // Numbers are 15 bytes, so the record's capacity fits; should wider
    // numbers ever appear, drop the oldest rather than overrun the reply.
    if (out.size() - start + 1 > kMaxReplyBytes) {
        size_t cut = out.size() + 1 - kMaxReplyBytes;
        size_t comma = out.find(',', start + cut - 1);
        out.erase(start, comma == std::string::npos ? out.size() - start : comma + 1 - start);
    }
    out += '\n';
}

}  // namespace kvt::sim
