#include "parser_event_memory.hpp"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace toml::detail {

#if defined(__linux__) && defined(MADV_HUGEPAGE)

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPage = size_t{4} << 10;
// Lists from this size on are mapped on their own, so that freeing one gives
// its memory back to the system at once instead of leaving a hole in the heap
// that still counts as the process's memory.
constexpr size_t kPagesFrom = size_t{64} << 10;
// Lists from this size on go on huge pages: a huge page is worth its clearing
// only when most of it gets written, and the list reserved for a text is
// several times larger than the part written.
constexpr size_t kMappedFrom = size_t{8} << 20;

size_t mapped_size(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }
size_t paged_size(size_t bytes) { return (bytes + kPage - 1) & ~(kPage - 1); }

}  // namespace

void* allocate_event_memory(size_t bytes) {
    if (bytes < kPagesFrom) return std::malloc(bytes);
    if (bytes < kMappedFrom) {
        void* p = mmap(nullptr, paged_size(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : p;
    }
    if (bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
    const size_t len = mapped_size(bytes);
    // Map one huge page more than needed and cut the ends off, so that the
    // list starts on a huge page boundary.
    void* raw = mmap(nullptr, len + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    const size_t head = aligned - start;
    if (head != 0) munmap(raw, head);
    if (kHugePage - head != 0) munmap(reinterpret_cast<void*>(aligned + len), kHugePage - head);
    // Only a hint: without huge pages the list works the same.
    madvise(reinterpret_cast<void*>(aligned), len, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void release_event_memory(void* p, size_t bytes) noexcept {
    if (bytes < kPagesFrom) {
        std::free(p);
        return;
    }
    munmap(p, bytes < kMappedFrom ? paged_size(bytes) : mapped_size(bytes));
}

#else

void* allocate_event_memory(size_t bytes) { return std::malloc(bytes); }
void release_event_memory(void* p, size_t) noexcept { std::free(p); }

#endif

}  // namespace toml::detail
