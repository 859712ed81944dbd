#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "functions/ReadingsRecorder.h"

namespace kvt::functions {

// A recording that the reading workers feed and a thread of its own
// writes: Record only queues the reading (a reading worker never waits for
// the disk), and the writer thread turns what is queued into CSV lines,
// writes them out and asks the system to put them on the disk, at least
// once a second. A failed write ends the recording with whole lines in the
// file and the reason in the status; the readings go on.
class BackgroundRecorder {
public:
    // The writer wakes at least this often.
    static constexpr std::chrono::milliseconds kWriteInterval{1000};
    // Readings queued beyond this while the disk does not keep up are
    // dropped and counted rather than held in memory without end.
    static constexpr size_t kMaxQueued = size_t{1} << 16;

    struct Status {
        bool recording = false;
        std::string path;
        // Why the recording ended on its own, or could not start; empty
        // when all went well.
        std::string error;
        // Readings recorded: written and queued.
        uint64_t readings = 0;
        // Bytes in the file, header included.
        uint64_t bytes = 0;
        // Readings dropped because the disk did not keep up.
        uint64_t dropped = 0;
        // The steady moment the recording started (the seconds column's zero).
        std::chrono::steady_clock::time_point started;
    };

    BackgroundRecorder() = default;
    // Stops a running recording, writing out what is queued.
    ~BackgroundRecorder();
    BackgroundRecorder(const BackgroundRecorder&) = delete;
    BackgroundRecorder& operator=(const BackgroundRecorder&) = delete;

    // Creates (or truncates) the file, writes its header and starts the
    // writer. A running recording is stopped first. On failure returns
    // false and error (when given) says why.
    bool Start(const std::string& path, std::string* error);
    // The same on a descriptor already open for writing, which the
    // recording owns from now on (ReadingsRecorder::StartOnDescriptor);
    // name stands for the file in the status and in messages.
    bool StartOnDescriptor(int fd, const std::string& name, std::string* error);

    // Queues a reading; does nothing unless recording. Any thread.
    void Record(RecordedReading reading);

    // Writes out what is queued, closes the file and ends the writer.
    // False when the recording had already ended on a failure or the last
    // write failed; error (when given) then says why.
    bool Stop(std::string* error = nullptr);

    // Cheap enough to ask before building a reading.
    bool IsRecording() const { return m_recording.load(std::memory_order_relaxed); }
    Status GetStatus() const;
    // The reason the recording ended on its own, once: the next call
    // returns an empty text until another recording fails.
    std::string TakeFailure();

private:
    // The status and the writer once m_file has started (or failed to).
    bool Started(bool opened, const std::string& path,
                 std::chrono::steady_clock::time_point started);
    void WriterLoop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_writer;
    std::atomic<bool> m_recording{false};
    // Guarded by m_mutex.
    std::vector<RecordedReading> m_queued;
    bool m_stopping = false;
    Status m_status;
    std::string m_failure;
    // The writer's own: the batch being written and the file.
    std::vector<RecordedReading> m_batch;
    ReadingsRecorder m_file;
};

}  // namespace kvt::functions
