#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/ReadingRecord.h"

namespace kvt::sim {

// The trend record: "REC" answers the recent readings (enough for a
// 400-step chart), "ALL" every reading since the last clear that the
// record still holds; both oldest first.
class TrendChart {
public:
    static constexpr size_t kRecentCount = 401;
    static constexpr size_t kMaxReplyBytes = 1048576;  // terminator included

    bool AllMode() const { return m_all; }
    void SetAllMode(bool all) { m_all = all; }
    void Clear(const ReadingRecord& record) { m_mark = record.Next(); }
    void Reset() {
        m_all = false;
        m_mark = 0;
    }

    // The comma-separated numbers and the newline.
    void AppendReply(const ReadingRecord& record, std::string& out) const;

private:
    bool m_all = false;
    uint64_t m_mark = 0;
};

}  // namespace kvt::sim
