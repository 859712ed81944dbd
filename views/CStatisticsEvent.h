#pragma once

#include <QEvent>

#include "functions/KVTStatistics.h"

namespace kvt::views {

// Message 0x7ED to the statistics view: new statistics to show. The event
// carries its own copy, so it may be posted from any thread.
class CStatisticsEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(0x7ED);

    explicit CStatisticsEvent(const functions::KVTStatistics& statistics)
        : QEvent(kType), m_statistics(statistics) {}

    const functions::KVTStatistics& Statistics() const { return m_statistics; }

private:
    functions::KVTStatistics m_statistics;
};

}  // namespace kvt::views
