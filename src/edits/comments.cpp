#include "edits/comments.hpp"

#include <cstdio>

#include "edits/prefix_parts.hpp"
#include "glue/kinds.hpp"
#include "refs/visible_entries.hpp"

namespace quillon {

namespace {

void append_kept_line(std::string& out, bool& first, std::string_view line) {
    if (!first) out.push_back('\n');
    out.append(line);
    first = false;
}

// The decor prefix that holds the comment lines above a table entry's header,
// or nullptr when the entry is not headed (a value, an empty array of tables,
// a dotted table).
const toml::RawString* header_prefix(const toml::Item& item) {
    if (const toml::Table* t = item.as_table()) return t->dotted ? nullptr : &t->decor.prefix;
    if (const toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        if (!aot->is_empty()) return &aot->get(0).decor.prefix;
    }
    return nullptr;
}

toml::RawString* header_prefix(toml::Item& item) {
    return const_cast<toml::RawString*>(header_prefix(static_cast<const toml::Item&>(item)));
}

const toml::Entry* visible_entry(const toml::EntryMap& items, std::string_view key) {
    const toml::Entry* e = items.find_entry(key);
    return e && !e->item.is_none() ? e : nullptr;
}

toml::Entry* visible_entry(toml::EntryMap& items, std::string_view key) {
    toml::Entry* e = items.find_entry(key);
    return e && !e->item.is_none() ? e : nullptr;
}

// A dotted table is written as the lines of its keys: the text before the
// first of them is what stands above it. nullptr when it writes no line.
toml::RawString* first_line_prefix(toml::Entry& entry) {
    if (toml::Table* t = entry.item.as_table(); t && t->dotted) {
        for (toml::Entry& inner : t->items.entries()) {
            if (toml::RawString* found = first_line_prefix(inner)) return found;
        }
        return nullptr;
    }
    if (toml::Value* v = entry.item.as_value()) {
        toml::InlineTable* it = v->as_inline_table();
        if (!it || !it->dotted) return &entry.key.leaf_decor.prefix;
        for (toml::Entry& inner : it->items.entries()) {
            if (toml::RawString* found = first_line_prefix(inner)) return found;
        }
        return nullptr;
    }
    return entry.item.is_array_of_tables() ? &entry.key.leaf_decor.prefix : nullptr;
}

const toml::RawString* first_line_prefix(const toml::Entry& entry) {
    return first_line_prefix(const_cast<toml::Entry&>(entry));
}

// A table that only holds other sections writes no header of its own; a
// comment given to it needs that header to be seen.
void show_header_for(toml::Item& item, bool has_comment) {
    toml::Table* t = item.as_table();
    if (t && has_comment && t->implicit && !t->dotted) t->implicit = false;
}

std::optional<std::string> read_prefix_comment(const toml::RawString& prefix) {
    if (prefix.is_absent()) return std::nullopt;
    return extract_block_comment(side_text(prefix));
}

// ---- inline-table entries ----

std::optional<std::string> get_inline_table_block_comment(const toml::InlineTable& table, std::string_view key) {
    const toml::Entry* e = visible_entry(table.items, key);
    if (!e || e->key.leaf_decor.prefix.is_absent()) return std::nullopt;
    std::string_view text = side_text(e->key.leaf_decor.prefix);
    if (is_first_inline_table_key(table, key)) {
        if (!text.empty() && text.front() == '\n') text.remove_prefix(1);
        return extract_block_comment(trim_white_space_end(text));
    }
    std::string_view block = PrefixParts::split(text).block;
    if (block.empty()) return std::nullopt;
    return extract_block_comment(block);
}

Status set_inline_table_block_comment(toml::InlineTable& table, std::string_view key,
                                      std::optional<std::string_view> comment) {
    toml::Entry* target = visible_entry(table.items, key);
    if (!target) return Error::key_error(std::string(key));
    bool first = is_first_inline_table_key(table, key);

    std::string_view fallback = " ";
    if (comment) {
        for (const toml::Entry& e : table.items.entries()) {
            if (e.item.is_none()) continue;
            std::string_view indent = PrefixParts::split(side_text(e.key.leaf_decor.prefix)).indent;
            if (!indent.empty()) {
                fallback = indent;
                break;
            }
        }
    }
    // Copies: the parts and the fallback may point into the prefix being replaced.
    std::string current(side_text(target->key.leaf_decor.prefix));
    std::string fallback_copy(fallback);
    PrefixParts parts = PrefixParts::split(current);
    std::string_view indent = parts.indent;
    if (comment && (indent.empty() || first)) indent = fallback_copy;

    Result<std::string> built = build_block_or_default(comment, indent, "");
    if (!built) return std::move(built.error());

    std::string updated;
    if (first && built->empty()) {
        updated.assign(indent);
    } else {
        updated.reserve(parts.inline_part.size() + 1 + built->size() + indent.size());
        updated.append(parts.inline_part);
        updated.push_back('\n');
        updated.append(*built);
        updated.append(indent);
    }
    target->key.leaf_decor.set_prefix(updated);
    return ok_status();
}

std::optional<std::string> comment_from_slot(std::string_view slot) {
    std::string_view text = trim_white_space(PrefixParts::split(slot).inline_part);
    if (text.empty() || text.front() != '#') return std::nullopt;
    return std::string(text);
}

}  // namespace

// ---- text rules ----

std::optional<std::string> extract_block_comment(std::string_view text) {
    std::string out;
    bool first = true;
    bool any_comment = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view line;
        if (nl == std::string_view::npos) {
            line = text.substr(pos);
            pos = text.size();
            // A final line without a line feed is the indentation of what
            // follows unless it holds something.
            if (trim_white_space(line).empty()) break;
        } else {
            line = text.substr(pos, nl - pos);
            pos = nl + 1;
        }
        std::string_view trimmed = trim_white_space(line);
        if (trimmed.empty()) {
            append_kept_line(out, first, "");
        } else if (trimmed.front() == '#') {
            append_kept_line(out, first, trimmed);
            any_comment = true;
        }
    }
    if (!any_comment) return std::nullopt;
    return out;
}

Status validate_comment_text(std::string_view text) {
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        if (b == 0x09) continue;
        if (b < 0x20 || b == 0x7F) {
            char buf[48];
            std::snprintf(buf, sizeof buf, "comment contains invalid character U+%04X", static_cast<unsigned>(b));
            return Error::value_error(buf);
        }
    }
    return ok_status();
}

Result<std::string> validate_inline_comment(std::string_view text) {
    if (text.find('\n') != std::string_view::npos) {
        return Error::value_error("inline comment must not contain newlines");
    }
    if (text.empty() || text.front() != '#') return Error::value_error("comment must start with '#'");
    Status valid = validate_comment_text(text);
    if (!valid) return std::move(valid.error());
    std::string stored;
    stored.reserve(text.size() + 1);
    stored.push_back(' ');
    stored.append(text);
    return stored;
}

Result<std::string> build_block_or_default(std::optional<std::string_view> comment, std::string_view indent,
                                           std::string_view default_text) {
    if (!comment) return std::string(default_text);
    std::string_view c = *comment;
    std::string out;
    out.reserve(c.size() + 8 * (indent.size() + 1));
    size_t pos = 0;
    while (true) {
        size_t nl = c.find('\n', pos);
        std::string_view piece = c.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        if (piece.empty()) {
            out.push_back('\n');
        } else if (piece.front() == '#') {
            Status valid = validate_comment_text(piece);
            if (!valid) return std::move(valid.error());
            out.append(indent);
            out.append(piece);
            out.push_back('\n');
        } else {
            return Error::value_error("comment lines must start with '#'");
        }
        if (nl == std::string_view::npos) break;
        pos = nl + 1;
    }
    return out;
}

// ---- block comments ----

std::optional<std::string> get_block_comment(const toml::Item& parent, std::string_view key) {
    if (const toml::Table* table = parent.as_table()) {
        const toml::Entry* e = visible_entry(table->items, key);
        if (!e) return std::nullopt;
        if (const toml::RawString* prefix = header_prefix(e->item)) return read_prefix_comment(*prefix);
        const toml::RawString* line = first_line_prefix(*e);
        return line ? read_prefix_comment(*line) : std::nullopt;
    }
    if (const toml::Value* v = parent.as_value()) {
        if (const toml::InlineTable* it = v->as_inline_table()) return get_inline_table_block_comment(*it, key);
    }
    return std::nullopt;
}

Status set_block_comment(toml::Item& parent, std::string_view key, std::optional<std::string_view> comment) {
    if (toml::Table* table = parent.as_table()) {
        toml::Entry* e = visible_entry(table->items, key);
        if (!e) return Error::key_error(std::string(key));
        toml::RawString* prefix = header_prefix(e->item);
        Result<std::string> built = build_block_or_default(comment, "", prefix ? "\n" : "");
        if (!built) return std::move(built.error());
        if (prefix) {
            prefix->set(*built);
            show_header_for(e->item, comment.has_value());
        } else if (toml::RawString* line = first_line_prefix(*e)) {
            line->set(*built);
        }
        return ok_status();
    }
    if (toml::Value* v = parent.as_value()) {
        if (toml::InlineTable* it = v->as_inline_table()) return set_inline_table_block_comment(*it, key, comment);
    }
    return Error::key_error(std::string(key));
}

std::optional<std::string> get_element_block_comment(const toml::RawString& prefix) {
    if (prefix.is_absent()) return std::nullopt;
    std::string_view block = PrefixParts::split(side_text(prefix)).block;
    if (block.empty()) return std::nullopt;
    return extract_block_comment(block);
}

Status set_element_block_comment(toml::RawString& prefix, std::optional<std::string_view> comment) {
    std::string current(side_text(prefix));
    PrefixParts parts = PrefixParts::split(current);
    Result<std::string> built = build_block_or_default(comment, parts.indent, "");
    if (!built) return std::move(built.error());
    std::string updated;
    updated.reserve(parts.inline_part.size() + 1 + built->size() + parts.indent.size());
    updated.append(parts.inline_part);
    updated.push_back('\n');
    updated.append(*built);
    updated.append(parts.indent);
    prefix.set(updated);
    return ok_status();
}

// The text before a [header] line starts at the beginning of a line, so its
// first line is no comment of an element before it: when that line holds a
// comment, it is the first line of the block.
bool starts_with_comment_line(const toml::RawString& prefix) {
    return !trim_white_space(PrefixParts::split(side_text(prefix)).inline_part).empty();
}

std::optional<std::string> get_item_block_comment(const toml::Item& item) {
    if (const toml::Table* t = item.as_table()) {
        if (starts_with_comment_line(t->decor.prefix)) return read_prefix_comment(t->decor.prefix);
        return get_element_block_comment(t->decor.prefix);
    }
    if (const toml::Value* v = item.as_value()) return get_element_block_comment(v->decor().prefix);
    return std::nullopt;
}

Status set_item_block_comment(toml::Item& item, std::optional<std::string_view> comment) {
    if (toml::Table* t = item.as_table()) {
        if (!starts_with_comment_line(t->decor.prefix)) return set_element_block_comment(t->decor.prefix, comment);
        std::string current(side_text(t->decor.prefix));
        PrefixParts parts = PrefixParts::split(current);
        Result<std::string> built = build_block_or_default(comment, parts.indent, "");
        if (!built) return std::move(built.error());
        built->append(parts.indent);
        t->decor.prefix.set(*built);
        return ok_status();
    }
    if (toml::Value* v = item.as_value()) return set_element_block_comment(v->decor().prefix, comment);
    return ok_status();
}

// ---- inline comments ----

std::optional<std::string> get_inline_comment(const toml::Item& item) {
    const toml::RawString* suffix = nullptr;
    if (const toml::Value* v = item.as_value()) {
        suffix = &v->decor().suffix;
    } else if (const toml::Table* t = item.as_table()) {
        suffix = &t->decor.suffix;
    } else {
        return std::nullopt;
    }
    std::string_view text = trim_white_space(side_text(*suffix));
    if (text.empty() || text.front() != '#') return std::nullopt;
    return std::string(text);
}

Status set_inline_comment(toml::Item& item, std::optional<std::string_view> text) {
    toml::Decor* decor = nullptr;
    if (toml::Value* v = item.as_value()) {
        decor = &v->decor();
    } else if (toml::Table* t = item.as_table()) {
        decor = &t->decor;
    } else {
        return Error::type_error(std::string("'") + kind_word(item) + "' does not support comments");
    }
    if (!text) {
        decor->set_suffix("");
        return ok_status();
    }
    Result<std::string> stored = validate_inline_comment(*text);
    if (!stored) return std::move(stored.error());
    decor->set_suffix(*stored);
    show_header_for(item, true);
    return ok_status();
}

std::optional<std::string> get_array_inline_comment(const toml::Array& array, size_t index) {
    if (index >= array.len()) return std::nullopt;
    return comment_from_slot(array_slot_text(array, index));
}

void set_array_inline_comment(toml::Array& array, size_t index, std::string_view stored) {
    if (index >= array.len()) return;
    std::string_view slot = array_slot_text(array, index);
    if (PrefixParts::split(slot).inline_part == stored) return;
    array_write_slot(array, index, PrefixParts::with_inline(slot, stored));
}

std::optional<std::string> get_inline_table_inline_comment(const toml::InlineTable& table, std::string_view key) {
    const toml::RawString* slot = it_slot_of(table, key);
    if (!slot) return std::nullopt;
    return comment_from_slot(side_text(*slot));
}

void set_inline_table_inline_comment(toml::InlineTable& table, std::string_view key, std::string_view stored) {
    toml::RawString* slot = it_slot_of(table, key);
    if (!slot) return;
    std::string_view text = side_text(*slot);
    if (PrefixParts::split(text).inline_part == stored) return;
    slot->set(PrefixParts::with_inline(text, stored));
}

bool is_first_inline_table_key(const toml::InlineTable& table, std::string_view key) {
    const toml::Entry* first = table.items.first_visible();
    return first && first->key.key == key;
}

std::optional<std::string> get_element_inline_comment(const toml::Item& parent, const PathStep& last) {
    const toml::Value* v = parent.as_value();
    if (!v) return std::nullopt;
    if (last.is_index()) {
        if (const toml::Array* a = v->as_array()) return get_array_inline_comment(*a, last.as_index());
    } else if (const toml::InlineTable* it = v->as_inline_table()) {
        return get_inline_table_inline_comment(*it, last.as_str());
    }
    return std::nullopt;
}

bool set_element_inline_comment(toml::Item& parent, const PathStep& last, std::string_view stored) {
    toml::Value* v = parent.as_value();
    if (!v) return false;
    if (last.is_index()) {
        if (toml::Array* a = v->as_array()) {
            set_array_inline_comment(*a, last.as_index(), stored);
            return true;
        }
    } else if (toml::InlineTable* it = v->as_inline_table()) {
        set_inline_table_inline_comment(*it, last.as_str(), stored);
        return true;
    }
    return false;
}

}  // namespace quillon
