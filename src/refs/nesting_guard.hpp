// Keeping every document within the nesting limit (toml/nesting.hpp).
//
// Content is converted or copied before a document is borrowed for writing,
// and only then is it known where it goes. So each call from Python notes the
// height of everything it converted or copied, and the edit checks it against
// the depth of the place it writes to before anything changes.
#pragma once

#include <cstddef>

#include "glue/error.hpp"
#include "toml/nesting.hpp"

namespace quillon {

struct IncomingNesting {
    // Container levels of the conversion in progress on this thread.
    static inline thread_local int converting = 0;
    // The deepest content converted or copied by the current call.
    static inline thread_local int height = 0;
};

// ValueError naming the limit.
Error too_deeply_nested();

// Each call from Python starts with nothing converted, and gives back what
// the call it interrupted (through code it ran) had noted.
class CallNesting {
public:
    CallNesting() noexcept : converting_(IncomingNesting::converting), height_(IncomingNesting::height) {
        IncomingNesting::converting = 0;
        IncomingNesting::height = 0;
    }
    ~CallNesting() {
        IncomingNesting::converting = converting_;
        IncomingNesting::height = height_;
    }
    CallNesting(const CallNesting&) = delete;
    CallNesting& operator=(const CallNesting&) = delete;

private:
    int converting_;
    int height_;
};

// One container level of a conversion; fails past the limit.
class ConvertingLevel {
public:
    static Result<ConvertingLevel> enter();
    ConvertingLevel(ConvertingLevel&& o) noexcept : active_(o.active_) { o.active_ = false; }
    ConvertingLevel(const ConvertingLevel&) = delete;
    ConvertingLevel& operator=(const ConvertingLevel&) = delete;
    ConvertingLevel& operator=(ConvertingLevel&&) = delete;
    ~ConvertingLevel() {
        if (active_) --IncomingNesting::converting;
    }

private:
    ConvertingLevel() = default;
    bool active_ = true;
};

// For the root mapping of a new document, which is no level of its own.
class ConvertingRoot {
public:
    ConvertingRoot() noexcept { --IncomingNesting::converting; }
    ~ConvertingRoot() { ++IncomingNesting::converting; }
    ConvertingRoot(const ConvertingRoot&) = delete;
    ConvertingRoot& operator=(const ConvertingRoot&) = delete;
};

// A copied model item of `height` levels, placed where the conversion in
// progress stands: fails past the limit, otherwise noted.
Status note_copied_height(int height);

// Whether what this call converted or copied fits below a container at
// `depth` (the length of its path). ValueError otherwise.
Status admit_incoming(size_t depth);

}  // namespace quillon
