#pragma once

#include <QString>

#include <chrono>
#include <cstdint>

#include "functions/BackgroundRecorder.h"

namespace kvt::app {

// Hours, minutes and seconds: "0:00:05", "26:03:11".
QString DurationText(std::chrono::seconds duration);

// A file size for people: "812 B", "85.3 kB", "12.6 MB", "3.1 GB" (with a
// point whatever the locale, like every number the status bar shows).
QString SizeText(uint64_t bytes);

// The status bar's recording line: "Recording psu.csv: 1234 readings,
// 0:12:34, 85.3 kB"; empty when not recording. (The whole path is the
// label's tool tip.)
QString RecordingStatusText(const functions::BackgroundRecorder::Status& status,
                            std::chrono::steady_clock::time_point now);

// The window title while recording: "Korvata - Recording psu.csv (1234
// readings, 0:12:34)"; "Korvata" otherwise.
QString RecordingWindowTitle(const functions::BackgroundRecorder::Status& status,
                             std::chrono::steady_clock::time_point now);

}  // namespace kvt::app
