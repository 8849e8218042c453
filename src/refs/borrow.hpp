// Access guard carried by every object of the module: any number of readers
// or one writer. Conflicts can only arise when a method is re-entered from
// Python code running inside another one.
#pragma once

#include <cstdint>

#include "glue/error.hpp"

namespace quillon {

struct BorrowGuard {
    int state = 0;  // > 0: readers; -1: one writer
    // Counts the times write access was taken: whatever was derived from the
    // object while it stays the same (a rendered text) is still current.
    uint64_t writes = 0;
};

class ReadBorrow {
public:
    static Result<ReadBorrow> take(BorrowGuard& g) {
        if (g.state < 0) return Error::runtime_error("Already mutably borrowed");
        ++g.state;
        return ReadBorrow(&g);
    }
    ReadBorrow(ReadBorrow&& o) noexcept : g_(std::exchange(o.g_, nullptr)) {}
    ReadBorrow(const ReadBorrow&) = delete;
    ReadBorrow& operator=(const ReadBorrow&) = delete;
    ReadBorrow& operator=(ReadBorrow&&) = delete;
    ~ReadBorrow() {
        if (g_) --g_->state;
    }

private:
    explicit ReadBorrow(BorrowGuard* g) : g_(g) {}
    BorrowGuard* g_;
};

class WriteBorrow {
public:
    static Result<WriteBorrow> take(BorrowGuard& g) {
        if (g.state != 0) return Error::runtime_error("Already borrowed");
        g.state = -1;
        ++g.writes;
        return WriteBorrow(&g);
    }
    WriteBorrow(WriteBorrow&& o) noexcept : g_(std::exchange(o.g_, nullptr)) {}
    WriteBorrow(const WriteBorrow&) = delete;
    WriteBorrow& operator=(const WriteBorrow&) = delete;
    WriteBorrow& operator=(WriteBorrow&&) = delete;
    ~WriteBorrow() {
        if (g_) g_->state = 0;
    }

private:
    explicit WriteBorrow(BorrowGuard* g) : g_(g) {}
    BorrowGuard* g_;
};

}  // namespace quillon
