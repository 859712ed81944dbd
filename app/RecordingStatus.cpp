#include "app/RecordingStatus.h"

#include <QFileInfo>

namespace kvt::app {
namespace {

std::chrono::seconds Recorded(const functions::BackgroundRecorder::Status& status,
                              std::chrono::steady_clock::time_point now) {
    return std::chrono::floor<std::chrono::seconds>(
        std::max(now - status.started, std::chrono::steady_clock::duration{}));
}

QString ReadingsText(uint64_t readings) {
    return readings == 1 ? QStringLiteral("1 reading")
                         : QStringLiteral("%1 readings").arg(readings);
}

}  // namespace

QString DurationText(std::chrono::seconds duration) {
    const long long total = std::max<long long>(0, duration.count());
    return QStringLiteral("%1:%2:%3")
        .arg(total / 3600)
        .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(total % 60, 2, 10, QLatin1Char('0'));
}

QString SizeText(uint64_t bytes) {
    if (bytes < 1000) {
        return QStringLiteral("%1 B").arg(bytes);
    }
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1000 && unit < 3) {
        value /= 1000;
        ++unit;
    }
    // QString::number always writes a point.
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(kUnits[unit]);
}

QString RecordingStatusText(const functions::BackgroundRecorder::Status& status,
                            std::chrono::steady_clock::time_point now) {
    if (!status.recording) {
        return QString();
    }
    QString text = QStringLiteral("Recording %1: %2, %3, %4")
                       .arg(QFileInfo(QString::fromStdString(status.path)).fileName(),
                            ReadingsText(status.readings), DurationText(Recorded(status, now)),
                            SizeText(status.bytes));
    if (status.dropped != 0) {
        text += QStringLiteral(" (%1 not written: the disk is too slow)").arg(status.dropped);
    }
    return text;
}

QString RecordingWindowTitle(const functions::BackgroundRecorder::Status& status,
                             std::chrono::steady_clock::time_point now) {
    if (!status.recording) {
        return QStringLiteral("Korvata");
    }
    return QStringLiteral("Korvata - Recording %1 (%2, %3)")
        .arg(QFileInfo(QString::fromStdString(status.path)).fileName(),
             ReadingsText(status.readings), DurationText(Recorded(status, now)));
}

}  // namespace kvt::app
