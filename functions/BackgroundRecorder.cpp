#include "functions/BackgroundRecorder.h"

#include <utility>

namespace kvt::functions {

namespace {

// The writer is woken early once this many readings wait, so that a burst
// is written in batches of a bounded size.
constexpr size_t kEarlyWakeCount = 4096;

}  // namespace

BackgroundRecorder::~BackgroundRecorder() {
    Stop();
}

bool BackgroundRecorder::Start(const std::string& path, std::string* error) {
    Stop();
    auto started = std::chrono::steady_clock::now();
    return Started(m_file.Start(path, error, started), path, started);
}

bool BackgroundRecorder::StartOnDescriptor(int fd, const std::string& name, std::string* error) {
    Stop();
    auto started = std::chrono::steady_clock::now();
    return Started(m_file.StartOnDescriptor(fd, name, error, started), name, started);
}

bool BackgroundRecorder::Started(bool opened, const std::string& path,
                                 std::chrono::steady_clock::time_point started) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_status = Status{};
    m_status.path = path;
    m_status.started = started;
    m_failure.clear();
    if (!opened) {
        m_status.error = m_file.Error();
        return false;
    }
    m_status.recording = true;
    m_status.bytes = m_file.BytesWritten();
    m_stopping = false;
    m_queued.clear();
    m_recording.store(true);
    m_writer = std::thread([this] { WriterLoop(); });
    return true;
}

void BackgroundRecorder::Record(RecordedReading reading) {
    if (!IsRecording()) {
        return;
    }
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        // Once Stop has begun, the writer's last round may already be under
        // way: a reading queued now would never reach the file.
        if (!m_status.recording || m_stopping) {
            return;
        }
        if (m_queued.size() >= kMaxQueued) {
            ++m_status.dropped;
            return;
        }
        m_queued.push_back(std::move(reading));
        ++m_status.readings;
        wake = m_queued.size() == kEarlyWakeCount;
    }
    if (wake) {
        m_wake.notify_one();
    }
}

void BackgroundRecorder::WriterLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto next = std::chrono::steady_clock::now() + kWriteInterval;
    for (;;) {
        m_wake.wait_until(lock, next,
                          [this] { return m_stopping || m_queued.size() >= kEarlyWakeCount; });
        const bool stopping = m_stopping;
        m_batch.swap(m_queued);
        lock.unlock();

        const bool wrote = !m_batch.empty();
        for (const RecordedReading& reading : m_batch) {
            m_file.Record(reading);
        }
        m_batch.clear();
        if (wrote && m_file.Flush()) {
            m_file.Sync();
        }

        lock.lock();
        m_status.bytes = m_file.BytesWritten();
        if (!m_file.IsRecording()) {
            // The write failed: what the file holds is what counts.
            m_status.readings = m_file.LinesRecorded();
            m_status.recording = false;
            m_status.error = m_file.Error();
            m_failure = m_file.Error();
            m_recording.store(false);
            m_queued.clear();
            return;
        }
        if (stopping) {
            return;
        }
        if (std::chrono::steady_clock::now() >= next) {
            next = std::chrono::steady_clock::now() + kWriteInterval;
        }
    }
}

bool BackgroundRecorder::Stop(std::string* error) {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_writer.joinable()) {
        m_writer.join();
    }
    // The writer has written out everything queued before it ended.
    std::lock_guard<std::mutex> guard(m_mutex);
    m_recording.store(false);
    if (!m_status.recording) {
        if (error != nullptr) {
            *error = m_status.error;
        }
        return m_status.path.empty() ? true : m_status.error.empty();
    }
    m_status.recording = false;
    if (!m_file.Stop()) {
        m_status.error = m_file.Error();
        m_status.readings = m_file.LinesRecorded();
    }
    m_status.bytes = m_file.BytesWritten();
    if (error != nullptr) {
        *error = m_status.error;
    }
    return m_status.error.empty();
}

BackgroundRecorder::Status BackgroundRecorder::GetStatus() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_status;
}

std::string BackgroundRecorder::TakeFailure() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return std::exchange(m_failure, std::string());
}

}  // namespace kvt::functions
