// Decor text helpers shared by the list, mapping and comment routines: the
// split of a prefix into its inline, block and indent parts, the comment slots
// of array elements and inline-table entries, and keeping each inline comment
// on its own element while elements are added or removed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "toml/model.hpp"

namespace quillon {

// Text of a decor side or trailing text: "" when absent.
inline std::string_view side_text(const toml::RawString& side) { return side.view(); }

// Whitespace trimming by the Unicode White_Space property (UTF-8 input).
std::string_view trim_white_space(std::string_view text);
std::string_view trim_white_space_end(std::string_view text);

// A prefix split at its first and last line feed. The parts are views into
// the text that was split.
struct PrefixParts {
    std::string_view inline_part;  // before the first "\n": the previous element's comment
    std::string_view block;        // whole lines between the first and the last "\n"
    std::string_view indent;       // after the last "\n"

    static PrefixParts split(std::string_view text);
    // `comment` + "\n" + block + indent of `text`.
    static std::string with_inline(std::string_view text, std::string_view comment);
};

// One inline comment per element (or visible entry), in order.
using SavedComments = std::vector<std::string>;

// Comment slot of array element i: the next element's prefix, or the array's
// trailing text for the last element.
std::string_view array_slot_text(const toml::Array& array, size_t i);
void array_write_slot(toml::Array& array, size_t i, std::string_view text);

SavedComments save_inline_comments(const toml::Array& array);
// `saved` holds one entry per element of the array as it now stands.
void restore_inline_comments(toml::Array& array, const SavedComments& saved);

// The inline comments of a run of elements around an edit. When elements are
// inserted or removed, only the slots next to the edit change hands: every
// other element moves together with the element that follows it, and so with
// its own slot. Saving and restoring that run alone gives the text that
// saving and restoring every element would give.
class CommentWindow {
public:
    // Elements [from, to) of the array, clamped to its length.
    static CommentWindow save(const toml::Array& array, size_t from, size_t to);
    // The element at `position` (inside the run) is removed.
    void erase(size_t position);
    // A new element at `position` (inside the run or just after it).
    void insert(size_t position, std::string comment);
    // Sets the comment kept for the element at `position` (inside the run).
    void set(size_t position, std::string comment);
    // Writes back every slot of the run whose inline part changed.
    void restore(toml::Array& array) const;

private:
    size_t first_ = 0;
    SavedComments saved_;
};

// Positions in the entry map of the visible entries of an inline table.
std::vector<size_t> visible_positions(const toml::EntryMap& items);

// Comment slot of the visible entry `key` of an inline table: the leaf prefix
// of the next visible entry's key, or the table's trailing text for the last
// one; nullptr when no visible entry has that key.
toml::RawString* it_slot_of(toml::InlineTable& table, std::string_view key);
const toml::RawString* it_slot_of(const toml::InlineTable& table, std::string_view key);

SavedComments save_inline_comments(const toml::InlineTable& table);
void restore_inline_comments(toml::InlineTable& table, const SavedComments& saved);

}  // namespace quillon
