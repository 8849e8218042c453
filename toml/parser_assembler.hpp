// The assembler: state and steps of the assembly stage, shared by the
// document-level steps (parser_assembly.cpp) and the value steps
// (parser_assembly_values.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decoder.hpp"
#include "error.hpp"
#include "model.hpp"
#include "nesting.hpp"
#include "parser_events.hpp"

namespace toml::detail {

bool same_inner_spelling(const Key& stored, const Key& written, bool after_dot);

// One part of a key path as read, with where it stands in the source.
struct KeyPart {
    Key key;
    Span span;
};

class Assembler {
public:
    // `borrow`: recorded texts point into `source` instead of copying it.
    Assembler(std::string_view source, ErrorSink& errors, bool borrow)
        : src_(source), errors_(errors), borrow_(borrow && RawString::addressable(source)) {}

    void document(const EventList& events, DocumentMut& doc, bool bom);
    // A document whose events come a run of statements at a time: start(),
    // then statements() for each run, the last one ending with End.
    void start(DocumentMut& doc, bool bom, uint32_t root_lines);
    // Assembles the statements among `events` [cursor, end), then takes the
    // cursor back by `end`: the owner of the list drops those events. The
    // list may be another one each time, or the same one grown. A scalar
    // event whose count is k > 0 was decoded ahead into `ahead`'s k-th.
    void statements(const EventList& events, size_t end, ScalarsAhead ahead = {});
    // A single value, which lands one level below a table.
    Value value(const EventList& events) {
        ev_ = events.data();
        Value v;
        Span at = cur().span();
        if (read_value(v) > kMaxNesting) report_too_deep(at);
        return v;
    }

private:
    const Event& cur() const { return ev_[i_]; }
    EventKind kind() const { return ev_[i_].kind; }
    const Event& take() {
        const Event& e = ev_[i_++];
        last_end_ = e.end;
        return e;
    }
    void skip() { last_end_ = ev_[i_++].end; }
    // The blank space, comments and line breaks between the last event taken
    // and the current one.
    Span gap() const { return Span{last_end_, ev_[i_].start}; }
    // The gap, marked as attributed (for the text after a line's last event).
    Span take_gap() {
        Span s = gap();
        last_end_ = s.end;
        return s;
    }
    // Zero-length span at the current event.
    Span here() const { return Span{ev_[i_].start, ev_[i_].start}; }
    RawString text(Span s) const {
        if (borrow_ && s.size() <= RawString::kBorrowMax) {
            return RawString::borrowed_unchecked(src_.data() + s.start, s.size());
        }
        return RawString(std::string_view(src_.data() + s.start, s.size()));
    }

    // Appends the parts of the key at the cursor to parts_, decoding each.
    void read_key();

    // Document level.
    void keyval_line(Span prefix);
    void header(Span prefix);
    void place_keyval(Table& table, Item&& value, int height);
    void start_standard_table(Table* parent);
    int parent_depth(const std::vector<KeyPart>& parts) const;
    std::vector<const Key*> tree_keys_before_last(const std::vector<KeyPart>& parts) const;
    void keep_spelling_below(Table& table, std::vector<const Key*>& path);
    void finish_table();
    // `depth`: that of `from` on entry, that of the table reached on return.
    Table* descend(Table& from, std::vector<KeyPart>& parts, size_t count, bool dotted, int& depth);
    void keep_written_spelling(Key& leaf);

    // Values. Each returns the nesting height of what it read: 0 for a
    // scalar, one more than its deepest element or entry for a container.
    int read_value(Value& out);
    int read_array(Array& array);
    int read_inline_table(InlineTable& table);
    void place_inline(InlineTable& table, size_t first_part, Item&& value);

    // Errors.
    void report_duplicate(Span at);
    void report_cannot_extend(const Value& value, Span at);
    void report_too_deep(Span at);

    std::string_view src_;
    const Event* ev_ = nullptr;  // the list being read
    ScalarsAhead ahead_;
    ErrorSink& errors_;
    bool borrow_;
    size_t i_ = 0;
    uint32_t last_end_ = 0;

    // Key parts being read; nested inline tables append after their parent's
    // parts and cut back to them when done.
    std::vector<KeyPart> parts_;
    std::string key_text_;  // scratch for decoding key parts and strings
    // The keys of the path just descended, as written on the current line.
    std::vector<const Key*> written_;

    DocumentMut* doc_ = nullptr;
    Table* root_ = nullptr;
    Table* current_ = nullptr;  // the root, or &filling_ after the first header
    int depth_ = 0;             // nesting depth of current_
    Table filling_;             // the table of the latest header, not yet in the tree
    bool in_header_ = false;
    bool array_header_ = false;
    std::vector<KeyPart> header_parts_;  // the latest header's key path
    Table* header_parent_ = nullptr;     // standard header: where the table goes
    int64_t position_ = 0;
};

}  // namespace toml::detail
