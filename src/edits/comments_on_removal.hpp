// Comment lines above an entry that a blank line separates from it are not
// the entry's own (a file header, the heading of a group of entries). When an
// entry leaves its place, its own comment lines go with it and those others
// stay where they were: they move to the start of whatever is written next.
//
// Each routine runs before the change and acts only when a departing entry
// has such lines, so the usual removal costs nothing more than before.
#pragma once

#include <span>
#include <string_view>

#include "toml/model.hpp"

namespace quillon {

// Before `key` is removed from `parent`, a table of `doc`.
void keep_comment_lines_before_removal(toml::DocumentMut& doc, toml::Item& parent, std::string_view key);
// Before the last entry of `parent`, a table of `doc`, is removed (popitem).
void keep_comment_lines_before_popitem(toml::DocumentMut& doc, toml::Item& parent);
// Before the members at `positions` of `parent`, an array of tables of `doc`,
// are removed; nothing for any other kind of parent.
void keep_comment_lines_before_member_removal(toml::DocumentMut& doc, toml::Item& parent,
                                              std::span<const size_t> positions);
// Before every entry of `parent`, a table or array of tables of `doc`, is
// removed.
void keep_comment_lines_before_clear(toml::DocumentMut& doc, toml::Item& parent);
// Before `key` of `parent`, a table of `doc`, takes `incoming`. An entry that
// turns from a [header] section into a key/value line, or the other way
// round, leaves its place: the lines that are not its own stay behind, and
// only its own lines remain above it for the replacement to carry along.
void keep_comment_lines_before_replacement(toml::DocumentMut& doc, toml::Item& parent, std::string_view key,
                                           const toml::Item& incoming);

// The part of a comment text (the text before an entry's line) that is not
// the entry's own: everything up to the last blank line, when it holds a
// comment line; otherwise empty.
std::string_view foreign_comment_lines(std::string_view text);
// `kept` (whole lines ending with a blank line) placed before `next`, with
// the blank lines between them not doubled.
std::string join_kept_lines(std::string_view kept, std::string_view next);
// `text` (the text after an inline entry, holding a line break) with `kept`
// placed on the lines after its end-of-line part.
std::string with_kept_lines_after_inline(std::string_view text, std::string_view kept);

}  // namespace quillon
