// Reading and writing the comment lines above an entry (block comment) and the
// comment at the end of its line (inline comment), inside the decor texts of
// the model. Errors are returned; nothing is raised here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "glue/error.hpp"
#include "refs/path.hpp"
#include "toml/model.hpp"

namespace quillon {

// ---- text rules ----

// Comment lines and blank lines of `text`, trimmed and joined with "\n";
// None when no comment line is found.
std::optional<std::string> extract_block_comment(std::string_view text);
// ValueError "comment contains invalid character U+XXXX" for control characters.
Status validate_comment_text(std::string_view text);
// The text to store after a value for the inline comment `text` (" " + text).
Result<std::string> validate_inline_comment(std::string_view text);
// The decor text for the comment lines `comment` (each line prefixed by
// `indent`), or `default_text` when `comment` is None.
Result<std::string> build_block_or_default(std::optional<std::string_view> comment, std::string_view indent,
                                           std::string_view default_text);

// ---- block comments ----

// Entry `key` of a table or inline table `parent`.
std::optional<std::string> get_block_comment(const toml::Item& parent, std::string_view key);
// KeyError(key) when the key is absent; the comment's own errors otherwise.
Status set_block_comment(toml::Item& parent, std::string_view key, std::optional<std::string_view> comment);

// An array element or a later [[name]] entry, given its decor prefix: only the
// lines after the previous element's inline comment count.
std::optional<std::string> get_element_block_comment(const toml::RawString& prefix);
Status set_element_block_comment(toml::RawString& prefix, std::optional<std::string_view> comment);

// A resolved item that is not reached by a table key: a table by its header
// prefix, a value by its decor prefix; other kinds read None and ignore writes.
std::optional<std::string> get_item_block_comment(const toml::Item& item);
Status set_item_block_comment(toml::Item& item, std::optional<std::string_view> comment);

// ---- inline comments ----

// The comment after a value or after a table header; None for other kinds.
std::optional<std::string> get_inline_comment(const toml::Item& item);
// `text` as given by the user (validated here); None clears the comment.
// TypeError "'<kind>' does not support comments" for arrays of tables and
// empty items.
Status set_inline_comment(toml::Item& item, std::optional<std::string_view> text);

// The comment kept in the slot after element `index`.
std::optional<std::string> get_array_inline_comment(const toml::Array& array, size_t index);
// `stored` is the text to store (" # note"), or "" to clear.
void set_array_inline_comment(toml::Array& array, size_t index, std::string_view stored);

std::optional<std::string> get_inline_table_inline_comment(const toml::InlineTable& table, std::string_view key);
// An absent key changes nothing.
void set_inline_table_inline_comment(toml::InlineTable& table, std::string_view key, std::string_view stored);

bool is_first_inline_table_key(const toml::InlineTable& table, std::string_view key);

// ---- helpers for routing by (parent item, last path element) ----

// The inline comment that an array parent (index) or an inline-table parent
// (text key) keeps for its child; None for any other parent or child.
std::optional<std::string> get_element_inline_comment(const toml::Item& parent, const PathStep& last);
// Writes `stored` into the parent's slot for the child when the parent is an
// array (index) or an inline table (text key); returns false, changing
// nothing, for any other combination.
bool set_element_inline_comment(toml::Item& parent, const PathStep& last, std::string_view stored);

}  // namespace quillon
