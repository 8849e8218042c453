// Events: what the grammar stage hands to the assembly stage. One event per
// structural token it accepted (brackets of "[[" and "]]" merged), plus
// zero-length scalars and key parts where the text left them out. Blank space,
// comments and line breaks get no events: they are the gaps between events,
// except the line break that ends a key/value or header line (LineEnd).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lexer.hpp"
#include "parser_event_memory.hpp"
#include "raw_string.hpp"

namespace toml::detail {

enum class EventKind : uint8_t {
    StdTableOpen,     // "["
    StdTableClose,    // "]"
    ArrayTableOpen,   // "[["
    ArrayTableClose,  // "]]"
    InlineTableOpen,  // "{"
    InlineTableClose, // "}"
    ArrayOpen,        // "["
    ArrayClose,       // "]"
    SimpleKey,        // one key part, with its quoting
    KeySep,           // "." between key parts
    KeyValSep,        // "="
    Scalar,           // one value text, with its quoting
    ValueSep,         // ","
    LineEnd,          // the line break after a key/value or a header
    End,              // zero-length, closes every well-formed event list
};

struct Event {
    EventKind kind;
    Quoting quoting;
    // Quoted key parts and scalars: a single-line string without escapes and
    // control characters (tabs aside). Unquoted key parts: every byte is a
    // bare-key byte (A-Z a-z 0-9 _ -) and the part is not empty, so the key
    // needs no further check. Unquoted scalars: always false.
    bool plain = false;
    uint32_t start;
    uint32_t end;
    // Openings of arrays and inline tables: the number of elements or entries.
    // Header openings: the number of key/value lines of the table's body, plus
    // one when the next header looks like a child of it; End: the lines of the
    // root's body. A hint for reserving room. Scalars: 0, or k when the
    // scalar was decoded ahead into the k-th slot of a side list.
    uint32_t count = 0;
    Span span() const { return Span{start, end}; }
};

using EventList = std::vector<Event, EventAllocator<Event>>;

// Takes the events of whole statements (key/value lines, headers) while the
// grammar stage still runs: a large document's events are then used while they
// are fresh in the cache, and the list stays short.
class StatementSink {
public:
    // Events [0, end) of `events` make whole statements, every count on them
    // is final, and so is `root_lines` (the key/value lines before the first
    // header). The sink drops them from the list; what follows them stays, at
    // the front.
    virtual void statements(EventList& events, size_t end, uint32_t root_lines) = 0;
    // Statements are handed over once they make this many events.
    size_t hand_over_from() const { return hand_over_from_; }

protected:
    explicit StatementSink(size_t hand_over_from) : hand_over_from_(hand_over_from) {}
    ~StatementSink() = default;

private:
    size_t hand_over_from_;
};

}  // namespace toml::detail
