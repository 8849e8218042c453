// Memory for the event list and the other lists of a parse. A large list is
// written once, front to back, and given back after the parse: from 64 KiB on
// it is mapped on its own, which hands it back to the system when freed. Where
// the system offers huge pages a very large list is placed on them: writing it
// then costs a handful of page faults instead of one per 4 KiB page, and a
// fault costs far more than the writes that follow it.
#pragma once

#include <cstddef>
#include <new>

namespace toml::detail {

// Room for `bytes` bytes, or nullptr when the system refuses it; released
// with release_event_memory(p, bytes) for the same `bytes`.
void* allocate_event_memory(size_t bytes);
void release_event_memory(void* p, size_t bytes) noexcept;

template <class T>
struct EventAllocator {
    using value_type = T;

    EventAllocator() noexcept = default;
    template <class U>
    EventAllocator(const EventAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        void* p = allocate_event_memory(n * sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept { release_event_memory(p, n * sizeof(T)); }

    friend bool operator==(const EventAllocator&, const EventAllocator&) noexcept { return true; }
};

}  // namespace toml::detail
