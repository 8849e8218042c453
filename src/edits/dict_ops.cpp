#include "edits/dict_ops.hpp"

#include "edits/comments.hpp"
#include "edits/comments_on_removal.hpp"
#include "edits/copied_item.hpp"
#include "edits/list_decor.hpp"
#include "edits/prefix_parts.hpp"
#include "glue/kinds.hpp"
#include "refs/visible_entries.hpp"

namespace quillon {

namespace {

toml::InlineTable* as_inline_table(toml::Item& item) {
    toml::Value* v = item.as_value();
    return v ? v->as_inline_table() : nullptr;
}

const toml::InlineTable* as_inline_table(const toml::Item& item) {
    const toml::Value* v = item.as_value();
    return v ? v->as_inline_table() : nullptr;
}

bool is_header_section(const toml::Item& item) {
    if (const toml::Table* t = item.as_table()) return !t->dotted;
    return item.is_array_of_tables();
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

    const toml::Entry* first = items.first_visible();
    if (first && first->key.key == key) return;
    toml::Item* stored = items.get(key);
    if (!stored) return;
    if (toml::Table* t = stored->as_table()) {
        ensure_leading_newline(t->decor.prefix);
    } else if (toml::ArrayOfTables* aot = stored->as_array_of_tables()) {
        if (!aot->is_empty()) ensure_leading_newline(aot->get(0).decor.prefix);
    }
}

// The value written last when these entries are rendered: a dotted inline
// table is written as its own entries, so its last leaf comes last.
toml::Value* last_rendered_value(toml::EntryMap& items);

toml::Value* last_rendered_value(toml::Value& value) {
    toml::InlineTable* it = value.as_inline_table();
    if (!it || !it->dotted) return &value;
    return last_rendered_value(it->items);
}

toml::Value* last_rendered_value(toml::EntryMap& items) {
    auto& entries = items.entries();
    for (size_t i = entries.size(); i > 0; --i) {
        if (toml::Value* v = entries[i - 1].item.as_value()) {
            if (toml::Value* leaf = last_rendered_value(*v)) return leaf;
        }
    }
    return nullptr;
}

// Takes the end-of-line comment out of a value's suffix and returns it as a
// comment slot holds it (" # c": the text before the line break, without
// trailing spaces). Inside an inline table a comment must be followed by a
// line break, so it cannot stay where a comma or the closing brace follows.
std::string take_suffix_comment(toml::Value& value) {
    std::string text = take_value_inline_comment(value);
    size_t line_end = text.find('\n');
    if (line_end != std::string::npos) text.resize(line_end);
    return std::string(trim_white_space_end(text));
}

// restore_inline_comments for a table whose last entry was just appended,
// with `saved` holding the comments of the entry before it (if any) and of
// the new one: the slots of the other entries did not change.
void restore_tail_comments(toml::InlineTable& table, const SavedComments& saved) {
    auto restore = [](toml::RawString& slot, std::string_view comment) {
        std::string_view text = side_text(slot);
        if (PrefixParts::split(text).inline_part != comment) slot.set(PrefixParts::with_inline(text, comment));
    };
    if (saved.size() == 2) restore(table.items.entries().back().key.leaf_decor.prefix, saved.front());
    if (!saved.empty()) restore(table.trailing, saved.back());
}

// A value under a table or inline-table key: it takes over the old value's
// spacing and end-of-line comment.
void store_value(toml::Item& target, toml::EntryMap& items, std::string_view key, toml::Item item) {
    toml::InlineTable* inline_table = as_inline_table(target);
    std::optional<SavedComments> saved;
    std::optional<std::string> last_key;
    // A new key normally goes after every entry: then only the slots of the
    // last entry and of the new one change hands, and only they are saved
    // (the one of the last entry) and restored. A placeholder that the key
    // fills in place needs the slots of all entries.
    bool appending = false;
    if (inline_table && !inline_table->contains_key(key)) {
        appending = items.find(key) == toml::EntryMap::npos;
        const toml::Entry* last = last_visible_entry(items);
        if (last) last_key = last->key.key;
        if (!appending) {
            saved = save_inline_comments(*inline_table);
        } else {
            saved.emplace();
            if (last) saved->emplace_back(PrefixParts::split(side_text(inline_table->trailing)).inline_part);
        }
    }

    toml::RawString old_prefix;
    toml::RawString old_suffix;
    if (const toml::Item* current = items.get(key)) {
        if (const toml::Value* v = current->as_value()) {
            old_prefix = v->decor().prefix;
            old_suffix = v->decor().suffix;
        } else if (is_header_section(*current)) {
            // The spacing around a key inside [brackets] means nothing on a
            // key/value line.
            if (toml::Key* k = items.key(key)) k->leaf_decor.clear();
        }
    }

    std::optional<toml::Value> value = std::move(item).into_value();
    if (!value) return;
    std::string comment;
    if (inline_table) comment = take_suffix_comment(*value);
    // The old value's end-of-line text wins, as in a table: the new comment
    // is kept for a new entry, or where the old value had no suffix at all.
    if (old_suffix.is_present()) comment.clear();
    if (old_prefix.is_present()) value->decor().prefix = std::move(old_prefix);
    if (old_suffix.is_present()) value->decor().suffix = std::move(old_suffix);
    items.index_mut(key) = toml::Item(std::move(*value));

    if (saved) {
        if (last_key) {
            // The space that stood before the closing brace no longer follows
            // it; a comment that stood there moves into the entry's slot.
            if (toml::Item* prev = items.get(*last_key)) {
                toml::Value* leaf = prev->as_value() ? last_rendered_value(*prev->as_value()) : nullptr;
                if (leaf) {
                    std::string moved = take_suffix_comment(*leaf);
                    if (!moved.empty() && !saved->empty() && saved->back().empty()) saved->back() = std::move(moved);
                    leaf->decor().set_suffix("");
                }
            }
        }
        saved->push_back(std::move(comment));
        if (appending) {
            restore_tail_comments(*inline_table, *saved);
        } else {
            restore_inline_comments(*inline_table, *saved);
        }
    } else if (!comment.empty()) {
        set_inline_table_inline_comment(*inline_table, key, comment);
    }
}

// The entry that now comes first takes the text that followed "{" before
// the removed first entry. On a multi-line table it keeps its own comment
// lines, while the comment after the removed entry (the inline part of its
// own prefix) goes with that entry.
void take_over_opening(toml::RawString& prefix, const toml::RawString& removed_prefix) {
    std::string_view own = side_text(prefix);
    if (own.find('\n') == std::string_view::npos) {
        // The entry moves up to the removed one's line; the comment lines
        // above that line were the removed entry's (its own go with it, the
        // others are put back by the caller).
        std::string_view removed = side_text(removed_prefix);
        if (removed.find('\n') == std::string_view::npos) {
            prefix = removed_prefix;
            return;
        }
        PrefixParts parts = PrefixParts::split(removed);
        std::string moved(parts.inline_part);
        moved.push_back('\n');
        moved.append(parts.indent);
        prefix.set(moved);
        return;
    }
    std::string_view opening = side_text(removed_prefix);
    opening = trim_white_space_end(opening.substr(0, opening.find('\n')));
    prefix.set(PrefixParts::with_inline(own, opening));
}

// The comment lines above a removed entry that a blank line separates from
// it are not its own: they go before the entry that takes its place, or
// before the closing brace.
// `next_prefix` is the key prefix of the entry that followed the removed one,
// or nullptr when it was the last.
void keep_foreign_lines(toml::InlineTable& table, toml::RawString* next_prefix, const toml::RawString& removed_prefix) {
    PrefixParts removed = PrefixParts::split(side_text(removed_prefix));
    std::string_view foreign = foreign_comment_lines(removed.block);
    if (foreign.empty()) return;
    toml::RawString& slot = next_prefix ? *next_prefix : table.trailing;
    std::string_view indent = next_prefix ? removed.indent : std::string_view();
    std::string_view text = side_text(slot);
    std::string updated;
    if (text.find('\n') == std::string_view::npos) {
        // Nothing but spacing: the lines start on the line after the entry
        // before, unless that entry's own line break already ends its line.
        const toml::Value* before = next_prefix ? nullptr : last_rendered_value(table.items);
        std::string_view after_last = before ? side_text(before->decor().suffix) : std::string_view();
        if (after_last.empty() || after_last.back() != '\n') updated.push_back('\n');
        updated.append(join_kept_lines(foreign, indent));
    } else {
        updated.append(with_kept_lines_after_inline(text, foreign));
    }
    slot.set(updated);
}

// The entry that now comes last stands before the closing brace: it takes the
// text the removed last entry had there. A comment in that text belonged to
// the removed entry; when the new last entry has a comment of its own (after
// its value, or in its slot, the trailing text), that comment supplies the
// spacing and the line break.
void take_over_closing(toml::InlineTable& table, toml::Item& removed, bool has_comment) {
    toml::Value* last = last_rendered_value(table.items);
    if (!last) return;
    toml::RawString& suffix = last->decor().suffix;
    std::string_view own = trim_white_space(side_text(suffix));
    if (!own.empty() && own.front() == '#') return;  // its comment and line break stay
    if (has_comment) {
        suffix.set("");
        return;
    }
    toml::Value* removed_value = removed.as_value();
    toml::Value* closing = removed_value ? last_rendered_value(*removed_value) : nullptr;
    if (!closing || closing->decor().suffix.is_absent()) {
        suffix.reset();
        return;
    }
    std::string_view text = side_text(closing->decor().suffix);
    std::string_view trimmed = trim_white_space(text);
    if (trimmed.empty()) {
        suffix.set(text);
        return;
    }
    size_t line_end = text.find('\n');
    if (line_end == std::string_view::npos) {
        suffix.reset();
    } else {
        suffix.set(text.substr(line_end));
    }
}

// A copy of a source entry that fits where it lands: line breaks of a
// multi-line inline table stay behind (its inline comment comes along), and
// tables render after what precedes them in the target.
toml::Item copy_entry_for_merge(const toml::Item& source, std::string_view key, const toml::Item& item) {
    toml::Item copy = item;
    if (toml::Value* v = copy.as_value()) {
        std::optional<std::string> comment;
        if (const toml::InlineTable* it = as_inline_table(source)) {
            comment = get_inline_table_inline_comment(*it, key);
            // Spacing before a comma or the closing brace means nothing elsewhere.
            toml::RawString& suffix = v->decor().suffix;
            if (suffix.is_present() && trim_white_space(side_text(suffix)).empty()) suffix.reset();
        }
        fit_copied_value_decor(*v, comment);
    } else {
        forget_render_positions(copy);
    }
    return copy;
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
    if (prefix.is_absent()) {
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

// Only the slot of the entry before the removed one changes hands: every other
// entry keeps its slot (the next entry's key prefix, or the trailing text), so
// the removal touches the removed entry and its neighbours only.
std::optional<toml::Value> inline_table_remove(toml::InlineTable& table, std::string_view key) {
    toml::EntryMap& items = table.items;
    const size_t at = items.find(key);
    if (at == toml::EntryMap::npos || items.entries()[at].item.is_none()) {
        (void)items.remove_entry(key);  // a placeholder goes without a trace
        return std::nullopt;
    }
    const bool was_first = items.first_visible() == &items.entries()[at];
    std::optional<std::string> next_key;
    {
        const auto& entries = items.entries();
        for (size_t pos = at + 1; pos < entries.size(); ++pos) {
            if (!entries[pos].item.is_none()) {
                next_key = entries[pos].key.key;
                break;
            }
        }
    }
    // The comment in the removed entry's prefix belongs to the entry before it.
    const std::string before_comment(PrefixParts::split(side_text(items.entries()[at].key.leaf_decor.prefix)).inline_part);

    std::optional<std::pair<toml::Key, toml::Item>> removed = items.remove_entry(key);
    if (!removed) return std::nullopt;
    // Positions may have moved: the neighbour is found again by its key.
    toml::Entry* next = next_key ? items.find_entry(*next_key) : nullptr;
    toml::RawString* next_prefix = next ? &next->key.leaf_decor.prefix : nullptr;
    const bool remains = next || !was_first;
    if (remains) {
        if (was_first) take_over_opening(*next_prefix, removed->first.leaf_decor.prefix);
        if (!next && !table.trailing_comma) take_over_closing(table, removed->second, !before_comment.empty());
    }
    if (!was_first) {
        toml::RawString& slot = next_prefix ? *next_prefix : table.trailing;
        std::string_view text = side_text(slot);
        if (PrefixParts::split(text).inline_part != before_comment) slot.set(PrefixParts::with_inline(text, before_comment));
    }
    keep_foreign_lines(table, next_prefix, removed->first.leaf_decor.prefix);
    if (toml::Value* v = removed->second.as_value()) return std::move(*v);
    return std::nullopt;
}

Status table_remove(toml::Item& item, std::string_view key) {
    bool removed = false;
    if (toml::InlineTable* it = as_inline_table(item)) {
        removed = inline_table_remove(*it, key).has_value();
    } else if (toml::Table* t = item.as_table()) {
        removed = t->items.remove(key).has_value();
    } else {
        return unsupported_op(item, "pop()");
    }
    if (!removed) return Error::key_error(std::string(key));
    return ok_status();
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

ReplacedKeys apply_update_pairs(toml::Item& target, UpdatePairs pairs, toml::DocumentMut* doc) {
    ReplacedKeys replaced;
    for (auto& [key, item] : pairs) {
        const toml::EntryMap* items = target.table_like();
        if (items && items->contains_key(key)) replaced.push_back(key);
        if (doc) keep_comment_lines_before_replacement(*doc, target, key, item);
        set_with_decor_preservation(target, key, std::move(item));
    }
    return replaced;
}

Result<ReplacedKeys> merge_table_entries(toml::Item& target, const toml::Item& source, toml::DocumentMut* doc) {
    const toml::EntryMap* from = source.table_like();
    if (!from) return unsupported_op(source, "|");
    const toml::EntryMap* into = target.table_like();
    if (!into) return unsupported_op(target, "|");

    // Presence is decided for every key before anything is written, and the
    // comment lines that new keys bring are checked before the first write,
    // so that a failing merge changes nothing.
    struct Planned {
        std::string key;
        bool present;
        std::optional<std::string> comment;
    };
    std::vector<Planned> plan;
    plan.reserve(from->raw_size());
    for (const toml::Entry& e : from->entries()) {
        if (e.item.is_none()) continue;
        bool present = into->contains_key(e.key.key);
        std::optional<std::string> comment = present ? std::nullopt : get_block_comment(source, e.key.key);
        if (comment) {
            Result<std::string> checked = build_block_or_default(*comment, "", "");
            QUILLON_TRY(checked);
        }
        plan.push_back(Planned{e.key.key, present, std::move(comment)});
    }

    ReplacedKeys replaced;
    for (Planned& step : plan) {
        if (step.present) replaced.push_back(step.key);
        const toml::Item* item = source.get(step.key);
        if (!item) continue;
        toml::Item copy = copy_entry_for_merge(source, step.key, *item);
        if (doc) keep_comment_lines_before_replacement(*doc, target, step.key, copy);
        set_with_decor_preservation(target, step.key, std::move(copy));
        if (step.comment) {
            Status set = set_block_comment(target, step.key, *step.comment);
            if (!set) return std::move(set.error());
        }
    }
    return replaced;
}

}  // namespace quillon
