#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>

namespace kvt::functions {

// N values of T on the heap, allocated without being filled: the values
// start indeterminate and only what is written is ever touched, so a large
// capacity of which a record uses a little costs little memory (the pages
// never written are never mapped in). Readers read only what was written
// (a record's first count values). Not copyable: a copy would touch the
// whole capacity; copy the written part instead.
template <typename T, std::size_t N>
class CUnfilledArray {
    static_assert(std::is_trivially_default_constructible_v<T> &&
                  std::is_trivially_destructible_v<T>);

public:
    CUnfilledArray() : m_values(std::make_unique_for_overwrite<T[]>(N)) {}
    CUnfilledArray(const CUnfilledArray&) = delete;
    CUnfilledArray& operator=(const CUnfilledArray&) = delete;

    static constexpr std::size_t size() { return N; }
    T* data() { return m_values.get(); }
    const T* data() const { return m_values.get(); }
    T* begin() { return data(); }
    const T* begin() const { return data(); }
    T* end() { return data() + N; }
    const T* end() const { return data() + N; }
    T& operator[](std::size_t index) { return m_values[index]; }
    const T& operator[](std::size_t index) const { return m_values[index]; }

private:
    std::unique_ptr<T[]> m_values;
};

}  // namespace kvt::functions
