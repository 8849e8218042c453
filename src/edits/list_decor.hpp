// Decor upkeep for arrays and arrays of tables: after elements are added or
// removed, the text around them should still read as if edited by hand.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "toml/model.hpp"

namespace quillon {

// Line break and indentation of element 0's prefix (comment lines dropped).
std::optional<std::string> save_first_prefix(const toml::Array& array);
void apply_first_prefix(toml::Array& array, const std::optional<std::string>& saved);

// Takes the text after the last element (present and non-empty) off it.
std::optional<std::string> strip_last_suffix(toml::Array& array);
// Without a trailing comma, the last element's end-of-line comment sits in its
// suffix. Takes that comment (its first line, leading spaces included) out of
// a saved suffix, leaving the line break and what follows; returns "" when the
// first line holds no comment.
std::string take_suffix_comment(std::optional<std::string>& saved);
void apply_last_suffix(toml::Array& array, const std::optional<std::string>& saved);

// A new value placed into a multiline array takes element 0's indentation.
void apply_multiline_decor(const toml::Array& array, toml::Value& value);
// The line break and indentation of element 0's prefix, when it has one.
std::optional<std::string> multiline_prefix(const toml::Array& array);
// Puts a new value on its own line: prefix `line_start`, empty suffix.
void apply_multiline_decor(const std::optional<std::string>& line_start, toml::Value& value);

struct RemovalDecor {
    std::optional<std::string> first;  // prefix of element 0 before the removal
    std::optional<std::string> last;   // suffix of the last element before the removal, its comment dropped
};
RemovalDecor save_removal_decor(const toml::Array& array, bool want_first, bool want_last);
void apply_removal_decor(toml::Array& array, const RemovalDecor& saved);

// Drops one leading line feed from the header prefix of entry 0.
void fix_first_aot_prefix(toml::ArrayOfTables& aot);
// Gives the table placed at `idx` a blank line before its header exactly when
// the other non-first entries have one.
void fix_inserted_aot_spacing(toml::ArrayOfTables& aot, size_t idx);

// Moves a comment carried in the value's suffix out of it: returns the whole
// suffix text and empties the suffix, or returns "" and leaves the value alone.
std::string take_value_inline_comment(toml::Value& value);

}  // namespace quillon
