#include "dict_ops.hpp"

#include "comments.hpp"
#include "kinds.hpp"
#include "prefix_parts.hpp"

namespace quillon {

namespace {

const toml::Entry* first_visible_entry(const toml::EntryMap& items) {
    for (const toml::Entry& e : items.entries()) {
        if (!e.item.is_none()) return &e;
    }
    return nullptr;
}

const toml::Entry* last_visible_entry(const toml::EntryMap& items) {
    const auto& entries = items.entries();
    for (size_t i = entries.size(); i > 0; --i) {
        if (!entries[i - 1].item.is_none()) return &entries[i - 1];
    }
    return nullptr;
}

size_t visible_index_of(const toml::EntryMap& items, std::string_view key) {
    size_t index = 0;
    for (const toml::Entry& e : items.entries()) {
        if (e.item.is_none()) continue;
        if (e.key.key == key) return index;
        ++index;
    }
    return static_cast<size_t>(-1);
}

toml::InlineTable* as_inline_table(toml::Item& item) {
    toml::Value* v = item.as_value();
    return v ? v->as_inline_table() : nullptr;
}

// A table or array of tables stored under a table key: it is placed after the
// table that precedes it in the tree, and its header needs its own line.
void store_headed(toml::EntryMap& items, std::string_view key, toml::Item item) {
    if (toml::Table* t = item.as_table()) {
        t->doc_position.reset();
    } else if (toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        for (toml::Item& member : aot->values) {
            if (toml::Table* t = member.as_table()) t->doc_position.reset();
        }
    }
    items.index_mut(key) = std::move(item);
    if (toml::Key* k = items.key(key)) k->leaf_decor.clear();

    const toml::Entry* first = first_visible_entry(items);
    if (first && first->key.key == key) return;
    toml::Item* stored = items.get(key);
    if (!stored) return;
    if (toml::Table* t = stored->as_table()) {
        ensure_leading_newline(t->decor.prefix);
    } else if (toml::ArrayOfTables* aot = stored->as_array_of_tables()) {
        if (!aot->is_empty()) ensure_leading_newline(aot->get(0).decor.prefix);
    }
}

// A value under a table or inline-table key: it takes over the old value's
// spacing and end-of-line comment.
void store_value(toml::Item& target, toml::EntryMap& items, std::string_view key, toml::Item item) {
    toml::InlineTable* inline_table = as_inline_table(target);
    std::optional<SavedComments> saved;
    std::optional<std::string> last_key;
    if (inline_table && !inline_table->contains_key(key)) {
        saved = save_inline_comments(*inline_table);
        if (const toml::Entry* last = last_visible_entry(items)) last_key = last->key.key;
    }

    toml::RawString old_prefix;
    toml::RawString old_suffix;
    if (const toml::Item* current = items.get(key)) {
        if (const toml::Value* v = current->as_value()) {
            old_prefix = v->decor().prefix;
            old_suffix = v->decor().suffix;
        }
    }

    std::optional<toml::Value> value = std::move(item).into_value();
    if (!value) return;
    if (old_prefix.is_present()) value->decor().prefix = std::move(old_prefix);
    if (old_suffix.is_present()) value->decor().suffix = std::move(old_suffix);
    items.index_mut(key) = toml::Item(std::move(*value));

    if (saved) {
        saved->emplace_back();
        if (last_key) {
            // The space that stood before the closing brace no longer follows it.
            if (toml::Item* prev = items.get(*last_key)) {
                if (toml::Value* v = prev->as_value()) v->decor().set_suffix("");
            }
        }
        restore_inline_comments(*inline_table, *saved);
    }
}

}  // namespace

void set_with_decor_preservation(toml::Item& target, std::string_view key, toml::Item item) {
    toml::EntryMap* items = target.table_like();
    if (!items || item.is_none()) return;
    std::optional<std::string> old_comment = get_block_comment(target, key);

    if (target.is_table() && (item.is_table() || item.is_array_of_tables())) {
        store_headed(*items, key, std::move(item));
    } else {
        store_value(target, *items, key, std::move(item));
    }

    if (old_comment && !get_block_comment(target, key)) {
        // Best effort: a comment that was valid before cannot fail here.
        (void)set_block_comment(target, key, *old_comment);
    }
}

void ensure_leading_newline(toml::RawString& prefix) {
    if (prefix.is_absent() || prefix.is_span()) {
        prefix.set("\n");
        return;
    }
    std::string_view text = prefix.view();
    if (!text.empty() && text.front() == '\n') return;
    std::string updated;
    updated.reserve(text.size() + 1);
    updated.push_back('\n');
    updated.append(text);
    prefix.set(updated);
}

Result<bool> item_has_key(const toml::Item& item, std::string_view key) {
    if (const toml::EntryMap* items = item.table_like()) return items->contains_key(key);
    if (item.is_array_like()) return Error::type_error("TOML array indices must be integers, not strings");
    return Error::type_error(std::string("TOML ") + kind_word(item) +
                             " item is not subscriptable (use .value to get the Python object)");
}

Result<std::vector<std::string>> item_keys(const toml::Item& item) {
    const toml::EntryMap* items = item.table_like();
    if (!items) return unsupported_op(item, "keys()");
    std::vector<std::string> keys;
    keys.reserve(items->raw_size());
    for (const toml::Entry& e : items->entries()) {
        if (!e.item.is_none()) keys.push_back(e.key.key);
    }
    return keys;
}

std::optional<toml::Value> inline_table_remove(toml::InlineTable& table, std::string_view key) {
    SavedComments saved = save_inline_comments(table);
    size_t position = visible_index_of(table.items, key);
    std::optional<toml::Item> removed = table.items.remove(key);
    if (!removed || position == static_cast<size_t>(-1)) return std::nullopt;
    saved.erase(saved.begin() + static_cast<std::ptrdiff_t>(position));
    restore_inline_comments(table, saved);
    if (toml::Value* v = removed->as_value()) return std::move(*v);
    return std::nullopt;
}

Result<std::pair<toml::Item, std::string>> table_pop(toml::Item& item, std::string_view key) {
    if (toml::InlineTable* it = as_inline_table(item)) {
        std::optional<toml::Value> removed = inline_table_remove(*it, key);
        if (!removed) return Error::key_error(std::string(key));
        return std::pair<toml::Item, std::string>(toml::Item(std::move(*removed)), std::string(key));
    }
    if (toml::Table* t = item.as_table()) {
        std::optional<toml::Item> removed = t->items.remove(key);
        if (!removed) return Error::key_error(std::string(key));
        return std::pair<toml::Item, std::string>(std::move(*removed), std::string(key));
    }
    return unsupported_op(item, "pop()");
}

Result<std::pair<std::string, toml::Item>> item_popitem(toml::Item& item) {
    toml::InlineTable* inline_table = as_inline_table(item);
    toml::Table* table = item.as_table();
    if (!inline_table && !table) return unsupported_op(item, "popitem()");
    const toml::Entry* last = last_visible_entry(inline_table ? inline_table->items : table->items);
    if (!last) return Error::key_error("popitem(): dictionary is empty");
    std::string key = last->key.key;
    toml::Item removed;
    if (inline_table) {
        std::optional<toml::Value> v = inline_table_remove(*inline_table, key);
        if (v) removed = toml::Item(std::move(*v));
    } else {
        std::optional<toml::Item> r = table->items.remove(key);
        if (r) removed = std::move(*r);
    }
    return std::pair<std::string, toml::Item>(std::move(key), std::move(removed));
}

Result<PyObject*> extract_pop_default(size_t extra_count, PyObject* first) {
    if (extra_count == 0) return static_cast<PyObject*>(nullptr);
    if (extra_count == 1) return first;
    return Error::type_error("pop expected at most 2 arguments, got " + std::to_string(extra_count + 1));
}

ReplacedKeys apply_update_pairs(toml::Item& target, UpdatePairs pairs) {
    ReplacedKeys replaced;
    for (auto& [key, item] : pairs) {
        const toml::EntryMap* items = target.table_like();
        if (items && items->contains_key(key)) replaced.push_back(key);
        set_with_decor_preservation(target, key, std::move(item));
    }
    return replaced;
}

Result<ReplacedKeys> merge_table_entries(toml::Item& target, const toml::Item& source) {
    const toml::EntryMap* from = source.table_like();
    if (!from) return unsupported_op(source, "|");
    const toml::EntryMap* into = target.table_like();
    if (!into) return unsupported_op(target, "|");

    // Presence is decided for every key before anything is written.
    std::vector<std::string> keys;
    std::vector<bool> present;
    keys.reserve(from->raw_size());
    present.reserve(from->raw_size());
    for (const toml::Entry& e : from->entries()) {
        if (e.item.is_none()) continue;
        keys.push_back(e.key.key);
        present.push_back(into->contains_key(e.key.key));
    }

    ReplacedKeys replaced;
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& key = keys[i];
        if (present[i]) replaced.push_back(key);
        const toml::Item* item = source.get(key);
        if (!item) continue;
        std::optional<std::string> comment = present[i] ? std::nullopt : get_block_comment(source, key);
        set_with_decor_preservation(target, key, toml::Item(*item));
        if (comment) {
            Status set = set_block_comment(target, key, *comment);
            if (!set) return std::move(set.error());
        }
    }
    return replaced;
}

}  // namespace quillon
