#pragma once

#include <memory>
#include <mutex>

namespace kvt::functions {

// A large record written by one thread and read by others, double-buffered:
// the writer fills the buffer nobody reads and then publishes it; readers
// copy the published buffer while holding a short lock. A reader never sees
// a half-written record and the writer never waits for a long copy to
// start writing.
template <typename T>
class CPublishedRecord {
public:
    CPublishedRecord() : m_buffers{std::make_unique<T>(), std::make_unique<T>()} {}

    // fill(T& back) writes the unpublished buffer, which holds the record
    // published before the current one; then it becomes the published one.
    template <typename Filler>
    void Update(Filler&& fill) {
        std::lock_guard<std::mutex> writing(m_writeMutex);
        fill(*m_buffers[1 - m_front]);
        std::lock_guard<std::mutex> publishing(m_publishMutex);
        m_front = 1 - m_front;
    }

    // read(const T& published) runs while the published record cannot change.
    template <typename Reader>
    void Read(Reader&& read) const {
        std::lock_guard<std::mutex> publishing(m_publishMutex);
        read(static_cast<const T&>(*m_buffers[m_front]));
    }

private:
    std::mutex m_writeMutex;
    mutable std::mutex m_publishMutex;
    std::unique_ptr<T> m_buffers[2];
    int m_front = 0;  // written under both mutexes
};

}  // namespace kvt::functions
