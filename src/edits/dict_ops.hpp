// Mapping operations on tables and inline tables that keep each entry's
// formatting and comments. They act on a model item already reached through a
// fresh reference; overwritten keys are returned for the caller to record.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "glue/error.hpp"
#include "glue/kinds.hpp"
#include "toml/model.hpp"

namespace quillon {

// Ordered (key text, model item) pairs to write.
using UpdatePairs = std::vector<std::pair<std::string, toml::Item>>;
// Keys that held a value before a write overwrote them, in write order.
using ReplacedKeys = std::vector<std::string>;

// Writes `item` under `key` in a table or inline table, keeping the entry's
// place, its comment lines and (for values) the old value's spacing and
// end-of-line comment. Does nothing when `target` is not table-like.
void set_with_decor_preservation(toml::Item& target, std::string_view key, toml::Item item);

// Makes a header prefix start on a fresh line.
void ensure_leading_newline(toml::RawString& prefix);

// Whether a table-like item has a visible entry for `key`; TypeError for
// arrays and scalars.
Result<bool> item_has_key(const toml::Item& item, std::string_view key);
// Visible keys in order; TypeError "TOML <kind> item does not support keys()".
Result<std::vector<std::string>> item_keys(const toml::Item& item);

// Applies `action(key text)` to each visible key of a table-like item, in
// order; the first failing action stops the walk and its error is returned.
// TypeError "TOML <kind> item does not support keys()" for other items.
template <class Action>
Status for_each_key(const toml::Item& item, Action&& action) {
    const toml::EntryMap* items = item.table_like();
    if (!items) return unsupported_op(item, "keys()");
    for (const toml::Entry& e : items->entries()) {
        if (e.item.is_none()) continue;
        Status st = action(e.key.key);
        if (!st) return st;
    }
    return ok_status();
}

// Removes the last visible entry. KeyError "popitem(): dictionary is empty".
Result<std::pair<std::string, toml::Item>> item_popitem(toml::Item& item);
// Removes `key` (KeyError(key) when missing) from a table or inline table.
Status table_remove(toml::Item& item, std::string_view key);
// Removes `key` keeping every other entry's inline comment on its entry; the
// entry that becomes first or last takes over the text next to the brace.
std::optional<toml::Value> inline_table_remove(toml::InlineTable& table, std::string_view key);

// The default of pop(key, *default) from its extra positional arguments:
// `extra_count` of them, the first being `first` (borrowed). nullptr when none
// was given; TypeError "pop expected at most 2 arguments, got N" for more than one.
Result<PyObject*> extract_pop_default(size_t extra_count, PyObject* first);

// Writes the pairs in order; never fails. With `doc` (the document holding
// `target`), an entry that changes between a section and a key/value line
// leaves behind the comment lines that are not its own.
ReplacedKeys apply_update_pairs(toml::Item& target, UpdatePairs pairs, toml::DocumentMut* doc = nullptr);
// Copies the visible entries of `source` into `target`, bringing the comment
// lines of keys that `target` did not have. Both must be table-like. `doc` as
// for apply_update_pairs.
Result<ReplacedKeys> merge_table_entries(toml::Item& target, const toml::Item& source,
                                         toml::DocumentMut* doc = nullptr);

}  // namespace quillon
