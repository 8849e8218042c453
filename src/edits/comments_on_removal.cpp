#include "edits/comments_on_removal.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "edits/prefix_parts.hpp"
#include "refs/visible_entries.hpp"
#include "toml/value_walk.hpp"

namespace quillon {
namespace {

bool is_blank(std::string_view line) { return trim_white_space(line).empty(); }

// Where the entry's own lines begin in `text`: after the last blank line.
// The text after the last line feed is the indentation of the entry's line.
size_t own_lines_start(std::string_view text) {
    size_t line_end = text.rfind('\n');
    while (line_end != std::string_view::npos) {
        size_t start = line_end == 0 ? std::string_view::npos : text.rfind('\n', line_end - 1);
        start = start == std::string_view::npos ? 0 : start + 1;
        if (is_blank(text.substr(start, line_end - start))) return line_end + 1;
        if (start == 0) return 0;
        line_end = start - 1;
    }
    return 0;
}

// An entry that is written as a [header] section rather than as lines of its
// parent's body.
bool is_headed(const toml::Item& item) {
    if (const toml::Table* t = item.as_table()) return !t->dotted;
    if (const toml::ArrayOfTables* aot = item.as_array_of_tables()) return !aot->is_empty();
    return false;
}

// The places that hold the text before a written line of the document: the
// prefix of a [header] line, or of the key of a key/value line. A null text
// stands for lines written there that are not looked at one by one.
struct Slot {
    toml::RawString* text;
    bool header;
    long owner;  // the departing entry it belongs to, or -1
    int64_t rank;
};

// What leaves the document: entries of one table (one key, or all of them),
// or members of one array of tables (those marked, or all of them).
struct Departing {
    const toml::EntryMap* entries = nullptr;
    const toml::ArrayOfTables* tables = nullptr;
    std::optional<std::string_view> key;
    const std::vector<bool>* members = nullptr;  // by position; null: all
    // Only sections leave: the lines that follow them start with a header,
    // so key/value lines need not be listed.
    bool sections_only = false;

    size_t count() const { return entries ? entries->raw_size() : tables->len(); }
};

// The slots of a document in the order they are written: tables in the order
// of their ranks (tree order among equal ranks), each with its header and
// then its key/value lines, dotted keys flattened.
class SlotWalk {
public:
    explicit SlotWalk(const Departing& departing) : departing_(departing) {}

    std::vector<Slot> run(toml::Table& root) {
        visit(root, false, -1, true);
        std::stable_sort(slots_.begin(), slots_.end(), [](const Slot& a, const Slot& b) { return a.rank < b.rank; });
        return std::move(slots_);
    }

private:
    long owner_of(const toml::EntryMap& items, size_t position, long inherited) const {
        if (inherited >= 0 || &items != departing_.entries) return inherited;
        if (departing_.key && items.entries()[position].key.key != *departing_.key) return -1;
        return static_cast<long>(position);
    }

    long member_owner(const toml::ArrayOfTables& aot, size_t m, long inherited) const {
        if (inherited >= 0 || &aot != departing_.tables) return inherited;
        if (departing_.members && !(m < departing_.members->size() && (*departing_.members)[m])) return -1;
        return static_cast<long>(m);
    }

    void visit(toml::Table& t, bool array_member, long owner, bool root) {
        if (!t.dotted) {
            rank_ = t.doc_position ? *t.doc_position : rank_;
            bool writes = root || array_member || !t.implicit || toml::has_values(t.items);
            if (writes && !root) slots_.push_back(Slot{&t.decor.prefix, true, owner, rank_});
            if (writes && !departing_.sections_only) {
                body(t.items, owner);
            } else if (root && toml::has_values(t.items)) {
                slots_.push_back(Slot{nullptr, false, -1, rank_});
            }
        }
        auto& entries = t.items.entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            long o = owner_of(t.items, i, owner);
            if (toml::Table* sub = entries[i].item.as_table()) {
                visit(*sub, false, o, false);
            } else if (toml::ArrayOfTables* aot = entries[i].item.as_array_of_tables()) {
                for (size_t m = 0; m < aot->values.size(); ++m) {
                    toml::Table* mt = aot->values[m].as_table();
                    if (mt) visit(*mt, true, member_owner(*aot, m, o), false);
                }
            }
        }
    }

    void body(toml::EntryMap& items, long owner) {
        auto& entries = items.entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            toml::Entry& e = entries[i];
            long o = owner_of(items, i, owner);
            if (toml::Value* v = e.item.as_value()) {
                toml::InlineTable* it = v->as_inline_table();
                if (it && it->dotted) {
                    body(it->items, o);
                } else {
                    slots_.push_back(Slot{&e.key.leaf_decor.prefix, false, o, rank_});
                }
            } else if (toml::Table* t = e.item.as_table(); t && t->dotted) {
                body(t->items, o);
            } else if (toml::is_empty_array_of_tables(e.item)) {
                slots_.push_back(Slot{&e.key.leaf_decor.prefix, false, o, rank_});
            }
        }
    }

    const Departing& departing_;
    std::vector<Slot> slots_;
    int64_t rank_ = 0;
};

bool has_foreign_lines(const toml::RawString& text) {
    return text.is_present() && !foreign_comment_lines(text.view()).empty();
}

bool any_foreign_lines_below(const toml::Table& t, bool array_member);

// Whether any line written for `item` (under `key`) may lead lines that are
// not its own: a test over the departing entry alone, which spares the walk
// over the whole document in the usual case.
bool any_foreign_lines(const toml::Key& key, const toml::Item& item) {
    if (has_foreign_lines(key.leaf_decor.prefix)) return true;
    if (const toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        for (const toml::Item& member : aot->values) {
            const toml::Table* mt = member.as_table();
            if (mt && (has_foreign_lines(mt->decor.prefix) || any_foreign_lines_below(*mt, true))) return true;
        }
        return false;
    }
    if (const toml::Table* t = item.as_table()) {
        if (!t->dotted && has_foreign_lines(t->decor.prefix)) return true;
        return any_foreign_lines_below(*t, false);
    }
    const toml::Value* v = item.as_value();
    const toml::InlineTable* it = v ? v->as_inline_table() : nullptr;
    if (!it || !it->dotted) return false;
    for (const toml::Entry& e : it->items.entries()) {
        if (any_foreign_lines(e.key, e.item)) return true;
    }
    return false;
}

// Sections below a table can be written apart from it (when their ranks put
// other sections between), each one then leading a stretch of its own; key/
// value lines lead only when the table writes no header of its own.
bool any_foreign_lines_below(const toml::Table& t, bool array_member) {
    bool writes_header = !t.dotted && (array_member || !t.implicit || toml::has_values(t.items));
    for (const toml::Entry& e : t.items.entries()) {
        if (writes_header && e.item.is_value()) continue;
        if (any_foreign_lines(e.key, e.item)) return true;
    }
    return false;
}

void place_before(toml::RawString& slot, bool header, std::string_view kept) {
    // An absent header prefix stands for a blank line before the header.
    std::string_view next = slot.is_present() ? slot.view() : (header ? "\n" : "");
    slot.set(join_kept_lines(kept, next));
}

// Moves the lines that are not their own from the leading line of each
// departing entry (and of each later stretch of its lines) to the next line
// that stays, or to the end of the document when none follows; lines that
// stood before everything and have nothing after them go to its very top.
//
// For an entry that stays in the document but leaves its place (`replacing`):
// lines that stood before everything else go to the very top, since the
// entry may come to be written first; and unless the next line that stays
// is in the departing line's own body, nothing moves at all (`same_body_only`).
// Returns whether anything moved.
bool keep_lines(toml::DocumentMut& doc, const Departing& departing, bool replacing = false,
                bool same_body_only = false) {
    std::vector<Slot> slots = SlotWalk(departing).run(doc.root_table());
    std::vector<bool> seen(departing.count(), false);
    std::string head;     // for the top of the document
    std::string pending;  // for the next line that stays
    bool any_kept_before = false;
    bool previous_departs = false;
    auto add = [](std::string& to, std::string_view lines) {
        to = to.empty() ? std::string(lines) : join_kept_lines(to, lines);
    };
    for (Slot& slot : slots) {
        if (slot.owner >= 0) {
            bool leading = !seen[static_cast<size_t>(slot.owner)] || !previous_departs;
            seen[static_cast<size_t>(slot.owner)] = true;
            previous_departs = true;
            if (!leading || slot.text->is_absent()) continue;
            std::string_view foreign = foreign_comment_lines(slot.text->view());
            if (foreign.empty()) continue;
            add(any_kept_before ? pending : head, foreign);
            continue;
        }
        previous_departs = false;
        if (!slot.text) {
            // Lines that cannot take any: what waits goes on to the next.
            if (!head.empty()) add(pending, std::exchange(head, std::string()));
            any_kept_before = true;
            continue;
        }
        if (!head.empty() && !replacing) {
            // Nothing was written before this line: it now comes first.
            place_before(*slot.text, slot.header, head);
            head.clear();
        }
        if (!pending.empty()) {
            if (same_body_only && slot.header) return false;
            place_before(*slot.text, slot.header, pending);
            pending.clear();
        }
        any_kept_before = true;
    }
    if (same_body_only && (!pending.empty() || !head.empty())) return false;
    toml::Table& root = doc.root_table();
    if (!head.empty()) {
        std::string top(root.decor.prefix.view());
        top.append(head);
        root.decor.prefix.set(top);
    }
    if (!pending.empty()) {
        toml::RawString& end = root.decor.suffix.is_present() ? root.decor.suffix : doc.trailing;
        end.set(join_kept_lines(pending, end.view()));
    }
    return true;
}

// The text before the line where the entry is written, as the block comment
// routines read it.
toml::RawString* leading_text(toml::Entry& entry) {
    if (toml::Table* t = entry.item.as_table(); t && !t->dotted) return &t->decor.prefix;
    if (toml::ArrayOfTables* aot = entry.item.as_array_of_tables(); aot && !aot->is_empty()) {
        return &aot->get(0).decor.prefix;
    }
    return &entry.key.leaf_decor.prefix;
}

// The lines of the entries' prefixes that are not their own stay inside the
// braces, before the closing one.
void keep_inline_table_lines_before_clear(toml::InlineTable& table) {
    std::string kept;
    for (const toml::Entry& e : table.items.entries()) {
        if (e.item.is_none()) continue;
        std::string_view foreign = foreign_comment_lines(PrefixParts::split(e.key.leaf_decor.prefix.view()).block);
        if (!foreign.empty()) kept = kept.empty() ? std::string(foreign) : join_kept_lines(kept, foreign);
    }
    if (kept.empty()) return;
    std::string_view trailing = table.trailing.view();
    std::string updated;
    if (trailing.find('\n') == std::string_view::npos) {
        updated.assign(trailing);
        updated.push_back('\n');
        updated.append(kept);
    } else {
        updated = with_kept_lines_after_inline(trailing, kept);
    }
    table.trailing.set(updated);
}

// The text before the first line written for the entry, when the entry is
// written as lines of its table's body; nullptr for a section.
toml::RawString* first_body_line(toml::Entry& e) {
    if (toml::Value* v = e.item.as_value()) {
        toml::InlineTable* it = v->as_inline_table();
        if (!it || !it->dotted) return &e.key.leaf_decor.prefix;
        for (toml::Entry& inner : it->items.entries()) {
            if (toml::RawString* found = first_body_line(inner)) return found;
        }
    } else if (toml::Table* t = e.item.as_table(); t && t->dotted) {
        for (toml::Entry& inner : t->items.entries()) {
            if (toml::RawString* found = first_body_line(inner)) return found;
        }
    } else if (toml::is_empty_array_of_tables(e.item)) {
        return &e.key.leaf_decor.prefix;
    }
    return nullptr;
}

// A key/value line followed by another line of the same entries: that line
// takes the lines which are not the departing one's own, with no walk over
// the document. False when the entry is not such a line.
bool keep_lines_for_next_line(toml::EntryMap& items, std::string_view key) {
    size_t position = items.find(key);
    if (position == toml::EntryMap::npos) return false;
    toml::Entry& departing = items.entries()[position];
    const toml::Value* v = departing.item.as_value();
    if (!v || (v->as_inline_table() && v->as_inline_table()->dotted)) return false;
    auto& entries = items.entries();
    for (size_t i = position + 1; i < entries.size(); ++i) {
        toml::RawString* next = first_body_line(entries[i]);
        if (!next) continue;
        std::string_view foreign = foreign_comment_lines(departing.key.leaf_decor.prefix.view());
        if (!foreign.empty()) place_before(*next, false, foreign);
        return true;
    }
    return false;
}

}  // namespace

std::string_view foreign_comment_lines(std::string_view text) {
    std::string_view foreign = text.substr(0, own_lines_start(text));
    return foreign.find('#') == std::string_view::npos ? std::string_view() : foreign;
}

std::string with_kept_lines_after_inline(std::string_view text, std::string_view kept) {
    PrefixParts parts = PrefixParts::split(text);
    std::string rest(parts.block);
    rest.append(parts.indent);
    std::string updated(parts.inline_part);
    updated.push_back('\n');
    updated.append(join_kept_lines(kept, rest));
    return updated;
}

std::string join_kept_lines(std::string_view kept, std::string_view next) {
    size_t core_end = kept.size();
    size_t kept_blanks = 0;
    while (core_end > 0 && kept[core_end - 1] == '\n') {
        size_t prev = core_end >= 2 ? kept.rfind('\n', core_end - 2) : std::string_view::npos;
        size_t start = prev == std::string_view::npos ? 0 : prev + 1;
        if (!is_blank(kept.substr(start, core_end - 1 - start))) break;
        ++kept_blanks;
        core_end = start;
    }
    size_t rest = 0;
    size_t next_blanks = 0;
    for (size_t nl = next.find('\n'); nl != std::string_view::npos; nl = next.find('\n', rest)) {
        if (!is_blank(next.substr(rest, nl - rest))) break;
        ++next_blanks;
        rest = nl + 1;
    }
    std::string out;
    out.reserve(core_end + std::max(kept_blanks, next_blanks) + next.size() - rest);
    out.append(kept.substr(0, core_end));
    out.append(std::max(kept_blanks, next_blanks), '\n');
    out.append(next.substr(rest));
    return out;
}

void keep_comment_lines_before_removal(toml::DocumentMut& doc, toml::Item& parent, std::string_view key) {
    toml::Table* table = parent.as_table();
    if (!table) return;
    const toml::Entry* entry = table->items.find_entry(key);
    if (!entry || entry->item.is_none() || !any_foreign_lines(entry->key, entry->item)) return;
    if (keep_lines_for_next_line(table->items, key)) return;
    keep_lines(doc, Departing{&table->items, nullptr, key, nullptr, is_headed(entry->item)});
}

void keep_comment_lines_before_popitem(toml::DocumentMut& doc, toml::Item& parent) {
    toml::Table* table = parent.as_table();
    if (!table) return;
    const toml::Entry* last = last_visible_entry(table->items);
    if (last) keep_comment_lines_before_removal(doc, parent, last->key.key);
}

void keep_comment_lines_before_member_removal(toml::DocumentMut& doc, toml::Item& parent,
                                              std::span<const size_t> positions) {
    toml::ArrayOfTables* aot = parent.as_array_of_tables();
    if (!aot) return;
    std::vector<bool> departing(aot->len(), false);
    bool any = false;
    for (size_t position : positions) {
        if (position >= aot->len()) continue;
        departing[position] = true;
        const toml::Table& member = aot->get(position);
        any = any || has_foreign_lines(member.decor.prefix) || any_foreign_lines_below(member, true);
    }
    if (!any) return;
    // With all its members gone the array stays as a key/value line, which
    // may come to be written first.
    bool emptied = std::find(departing.begin(), departing.end(), false) == departing.end();
    keep_lines(doc, Departing{nullptr, aot, std::nullopt, &departing, true}, emptied);
}

void keep_comment_lines_before_clear(toml::DocumentMut& doc, toml::Item& parent) {
    if (toml::ArrayOfTables* aot = parent.as_array_of_tables()) {
        for (const toml::Item& member : aot->values) {
            const toml::Table* mt = member.as_table();
            if (mt && (has_foreign_lines(mt->decor.prefix) || any_foreign_lines_below(*mt, true))) {
                // The emptied array stays, as a key/value line that may come
                // to be written first.
                keep_lines(doc, Departing{nullptr, aot, std::nullopt, nullptr, true}, true);
                return;
            }
        }
        return;
    }
    if (toml::Value* v = parent.as_value()) {
        if (toml::InlineTable* it = v->as_inline_table()) keep_inline_table_lines_before_clear(*it);
        return;
    }
    toml::Table* table = parent.as_table();
    if (!table) return;
    bool any = false;
    for (const toml::Entry& e : table->items.entries()) {
        if (!e.item.is_none() && any_foreign_lines(e.key, e.item)) {
            any = true;
            break;
        }
    }
    if (any) keep_lines(doc, Departing{&table->items, nullptr, std::nullopt, nullptr});
}

void keep_comment_lines_before_replacement(toml::DocumentMut& doc, toml::Item& parent, std::string_view key,
                                           const toml::Item& incoming) {
    toml::Table* table = parent.as_table();
    if (!table) return;
    toml::Entry* entry = table->items.find_entry(key);
    if (!entry || entry->item.is_none() || incoming.is_none()) return;
    if (is_headed(entry->item) == is_headed(incoming)) return;  // the entry keeps its place
    if (!any_foreign_lines(entry->key, entry->item)) return;
    // A key/value line that becomes a section moves below its body's other
    // lines; when none follows, all its lines stay above it as they were.
    bool becomes_section = !is_headed(entry->item);
    Departing departing{&table->items, nullptr, key, nullptr, !becomes_section};
    if (!keep_lines(doc, departing, true, becomes_section)) return;
    toml::RawString* leading = leading_text(*entry);
    if (leading->is_present()) {
        std::string own(leading->view().substr(own_lines_start(leading->view())));
        leading->set(own);
    }
}

}  // namespace quillon
