#include "parser_assembly.hpp"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "decoder.hpp"
#include "parser_assembler.hpp"
#include "parser_report.hpp"

namespace toml::detail {
namespace {

// A key may have at most this many parts before its last one.
constexpr size_t kMaxKeyParts = 80;

}  // namespace

void Assembler::read_key() {
    size_t first = parts_.size();
    Span blank_before{};
    for (;;) {
        if (parts_.size() - first == kMaxKeyParts) report_plain(errors_, "recursion limit", std::nullopt);
        const Event& e = take();
        KeyPart& p = parts_.emplace_back();
        p.span = e.span();
        if (e.plain && e.quoting == Quoting::Unquoted && borrow_ && parts_.size() - first == 1 &&
            kind() != EventKind::KeySep && p.span.size() <= RawString::kBorrowMax) {
            // Most keys: one bare part, spelled as its text reads, with no dots
            // around which spacing could stand.
            p.key.key = DecodedText::borrowed(RawString::borrowed_unchecked(src_.data() + p.span.start, p.span.size()));
            p.key.set_repr_in_source(false);
            return;
        }
        bool in_source = false;
        std::string_view decoded = decode_key_text(src_, p.span, e.quoting, e.plain, errors_, key_text_, in_source);
        if (borrow_ && in_source && decoded.size() <= RawString::kBorrowMax) {
            // Spelled as is, or between one quote on each side.
            p.key.key = DecodedText::borrowed(RawString::borrowed_unchecked(decoded.data(), decoded.size()));
            p.key.set_repr_in_source(e.quoting != Quoting::Unquoted);
        } else {
            p.key.key = DecodedText(decoded);
            p.key.set_repr(text(p.span));
        }
        Decor dots;
        if (parts_.size() - first > 1) dots.prefix = text(blank_before);
        bool more = kind() == EventKind::KeySep;
        if (more) dots.suffix = text(gap());
        if (dots.prefix.is_present() || dots.suffix.is_present()) p.key.set_dotted_decor(std::move(dots));
        if (!more) return;
        skip();  // "."
        blank_before = gap();
    }
}

void Assembler::report_duplicate(Span at) { report_plain(errors_, "duplicate key", at); }

void Assembler::report_too_deep(Span at) { report_plain(errors_, kTooDeepMessage, at); }

void Assembler::report_cannot_extend(const Value& value, Span at) {
    std::string message = "cannot extend value of type ";
    message += value.type_name();
    message += " with a dotted key";
    report_plain(errors_, message, at);
}

// Whether a stored inner key renders as the part written on this line.
bool same_inner_spelling(const Key& stored, const Key& written, bool after_dot) {
    const Decor& a = stored.dotted_decor();
    const Decor& b = written.dotted_decor();
    return stored.repr() == written.repr() && a.suffix.view() == b.suffix.view() &&
           (!after_dot || a.prefix.view() == b.prefix.view());
}

// When the tree spells a path's inner parts differently from this line (they
// were first written elsewhere, as in a . b = 1 after a.c = 2), the leaf keeps
// this line's spelling of them.
void Assembler::keep_written_spelling(Key& leaf) {
    std::vector<Key> prefix;
    prefix.reserve(written_.size());
    for (const Key* k : written_) {
        Key& copy = prefix.emplace_back(k->key);
        copy.copy_repr(*k);
        copy.set_dotted_decor(k->dotted_decor());
    }
    leaf.set_written_prefix(std::move(prefix));
}

// Follows parts [0, count) from `from`; parts[count] is the leaf. `dotted` is
// on for the inner parts of a dotted key (which may only pass through implicit
// tables) and off for the parent path of a header. Missing tables are created
// implicit.
Table* Assembler::descend(Table& from, std::vector<KeyPart>& parts, size_t count, bool dotted, int& depth) {
    Table* table = &from;
    written_.clear();
    bool respelled = false;
    for (size_t k = 0; k < count; ++k) {
        KeyPart& part = parts[k];
        Entry* entry = table->items.find_entry(part.key.key);
        // An array of tables is one level and its member table another.
        depth += entry != nullptr && entry->item.is_array_of_tables() ? 2 : 1;
        if (depth > kMaxNesting) {
            report_too_deep(part.span);
            return nullptr;
        }
        if (entry == nullptr) {
            Table created;
            created.implicit = true;
            created.dotted = dotted;
            Entry& added = table->items.append(std::move(part.key), Item(std::move(created)));
            written_.push_back(&added.key);
            table = added.item.as_table();
            continue;
        }
        if (Value* v = entry->item.as_value()) {
            report_cannot_extend(*v, part.span);
            return nullptr;
        }
        // A key first seen as the last part of a header has no spacing around
        // dots yet; take it from the first path that uses it as an inner part.
        const Decor& dots = entry->key.dotted_decor();
        if (dots.prefix.is_absent() && dots.suffix.is_absent()) entry->key.set_dotted_decor(part.key.dotted_decor());
        respelled = respelled || !same_inner_spelling(entry->key, part.key, k > 0);
        written_.push_back(&part.key);
        if (ArrayOfTables* tables = entry->item.as_array_of_tables()) {
            if (tables->values.empty()) {
                report_duplicate(part.span);
                return nullptr;
            }
            table = &tables->get(tables->len() - 1);
            continue;
        }
        Table* found = entry->item.as_table();
        if (found == nullptr) {  // a placeholder
            entry->item = Item(Table());
            found = entry->item.as_table();
            found->implicit = true;
        }
        if (dotted) {
            if (!found->implicit) {
                report_duplicate(part.span);
                return nullptr;
            }
            found->dotted = true;
        }
        table = found;
    }
    if (respelled) keep_written_spelling(parts[count].key);
    return table;
}

// Depth of the table that the parts before the last lead to from the root,
// without creating anything; a part that cannot be walked ends the count (the
// walk that follows reports it).
int Assembler::parent_depth(const std::vector<KeyPart>& parts) const {
    int depth = 0;
    const Table* table = root_;
    for (size_t k = 0; k + 1 < parts.size(); ++k) {
        const Entry* entry = table != nullptr ? table->items.find_entry(parts[k].key.key) : nullptr;
        if (entry == nullptr) {
            table = nullptr;
            depth += 1;
        } else if (const ArrayOfTables* tables = entry->item.as_array_of_tables()) {
            if (tables->values.empty()) return depth;
            table = &tables->get(tables->len() - 1);
            depth += 2;
        } else if ((table = entry->item.as_table()) != nullptr || entry->item.is_none()) {
            depth += 1;
        } else {
            return depth;
        }
    }
    return depth;
}

// The keys stored in the tree for the parts before the last.
std::vector<const Key*> Assembler::tree_keys_before_last(const std::vector<KeyPart>& parts) const {
    std::vector<const Key*> keys;
    const Table* table = root_;
    for (size_t k = 0; table != nullptr && k + 1 < parts.size(); ++k) {
        const Entry* entry = table->items.find_entry(parts[k].key.key);
        if (entry == nullptr) break;
        keys.push_back(&entry->key);
        const ArrayOfTables* tables = entry->item.as_array_of_tables();
        table = tables != nullptr ? (tables->values.empty() ? nullptr : &tables->get(tables->len() - 1))
                                  : entry->item.as_table();
    }
    return keys;
}

// Gives every header below `table` (reached by `path`) its current spelling
// of the inner parts, unless it keeps one of its own already.
void Assembler::keep_spelling_below(Table& table, std::vector<const Key*>& path) {
    for (Entry& e : table.items.entries()) {
        Table* sub = e.item.as_table();
        ArrayOfTables* tables = e.item.as_array_of_tables();
        if (sub == nullptr && tables == nullptr) continue;
        if (!e.key.written_prefix()) {
            std::vector<Key> prefix;
            prefix.reserve(path.size());
            for (const Key* k : path) {
                Key& copy = prefix.emplace_back(k->key);
                copy.copy_repr(*k);
                copy.set_dotted_decor(k->dotted_decor());
            }
            e.key.set_written_prefix(std::move(prefix));
        }
        path.push_back(&e.key);
        if (sub != nullptr) keep_spelling_below(*sub, path);
        if (tables != nullptr) {
            for (Item& member : tables->values) keep_spelling_below(*member.as_table(), path);
        }
        path.pop_back();
    }
}

void Assembler::document(const EventList& events, DocumentMut& doc, bool bom) {
    start(doc, bom, events.back().count);
    statements(events, events.size());
}

void Assembler::start(DocumentMut& doc, bool bom, uint32_t root_lines) {
    doc_ = &doc;
    root_ = &doc.root_table();
    root_->doc_position.reset();
    if (bom) root_->decor.prefix = text(Span{0, 3});
    root_->items.entries().reserve(root_lines);
    current_ = root_;
    last_end_ = bom ? 3 : 0;
}

void Assembler::statements(const EventList& events, size_t end, ScalarsAhead ahead) {
    ev_ = events.data();
    ahead_ = ahead;
    while (i_ < end && !errors_.has_error()) {
        switch (kind()) {
            case EventKind::StdTableOpen:
            case EventKind::ArrayTableOpen:
                header(gap());
                break;
            case EventKind::End:
                finish_table();
                doc_->trailing = text(gap());
                return;
            default:
                keyval_line(gap());
                break;
        }
    }
    // After an error nothing more is assembled.
    i_ = i_ >= end ? i_ - end : 0;
}

void Assembler::keyval_line(Span prefix) {
    parts_.clear();
    read_key();
    Key& leaf = parts_.back().key;
    leaf.leaf_decor.prefix = text(prefix);
    leaf.leaf_decor.suffix = text(gap());
    skip();  // "="
    Span value_prefix = gap();
    Item item(std::in_place);
    int height = read_value(*item.as_value());
    Span value_suffix = take_gap();
    if (kind() == EventKind::LineEnd) skip();
    Decor& decor = item.as_value()->decor();
    decor.prefix = text(value_prefix);
    decor.suffix = text(value_suffix);
    if (errors_.has_error()) return;
    place_keyval(*current_, std::move(item), height);
}

void Assembler::place_keyval(Table& table, Item&& value, int height) {
    size_t n = parts_.size();
    Table* target = &table;
    int depth = depth_;
    if (n > 1) {
        target = descend(table, parts_, n - 1, true, depth);
        if (target == nullptr) return;
        if (!target->implicit) {
            report_duplicate(parts_[n - 2].span);
            return;
        }
    }
    KeyPart& last = parts_.back();
    if (depth + height > kMaxNesting) {
        report_too_deep(last.span);
        return;
    }
    if (target->items.find_entry(last.key.key) != nullptr) {
        report_duplicate(last.span);
        return;
    }
    target->items.append(std::move(last.key), std::move(value));
}

void Assembler::header(Span prefix) {
    bool array_table = kind() == EventKind::ArrayTableOpen;
    uint32_t lines = cur().count;
    skip();
    Span leaf_prefix = gap();
    parts_.clear();
    read_key();
    Span leaf_suffix = gap();
    skip();  // "]" or "]]"
    Span suffix = take_gap();
    if (kind() == EventKind::LineEnd) skip();
    Key& leaf = parts_.back().key;
    leaf.leaf_decor.prefix = text(leaf_prefix);
    leaf.leaf_decor.suffix = text(leaf_suffix);
    if (errors_.has_error()) return;

    finish_table();
    if (errors_.has_error()) return;
    std::swap(parts_, header_parts_);
    Decor decor;
    decor.prefix = text(prefix);
    decor.suffix = text(suffix);
    array_header_ = array_table;
    int depth = 0;
    Table* parent = nullptr;
    if (array_table) {
        // The parent path is walked when the member is finished.
        depth = parent_depth(header_parts_);
    } else {
        parent = descend(*root_, header_parts_, header_parts_.size() - 1, false, depth);
        if (parent == nullptr) return;
    }
    depth += array_table ? 2 : 1;
    if (depth > kMaxNesting) {
        report_too_deep(header_parts_.back().span);
        return;
    }
    if (array_table) {
        filling_ = Table();
    } else {
        start_standard_table(parent);
        if (errors_.has_error()) return;
    }
    auto& entries = filling_.items.entries();
    entries.reserve(entries.size() + lines);
    filling_.decor = std::move(decor);
    filling_.implicit = false;
    filling_.dotted = false;
    filling_.doc_position = ++position_;
    current_ = &filling_;
    depth_ = depth;
    in_header_ = true;
}

// A standard header's table: new, or an implicit table made by an earlier
// header, taken out of its parent so that it goes back at the end.
void Assembler::start_standard_table(Table* parent) {
    KeyPart& last = header_parts_.back();
    header_parent_ = parent;
    Entry* existing = parent->items.find_entry(last.key.key);
    if (existing == nullptr) {
        filling_ = Table();
        return;
    }
    Table* earlier = existing->item.as_table();
    if (earlier == nullptr || !earlier->implicit || earlier->dotted) {
        report_duplicate(last.span);
        return;
    }
    auto removed = parent->items.remove_entry(last.key.key);
    // The headers below were written with the old spelling of this key; the
    // new header's spelling must not replace theirs.
    if (!same_inner_spelling(removed->first, last.key, header_parts_.size() > 1)) {
        std::vector<const Key*> path = tree_keys_before_last(header_parts_);
        path.push_back(&removed->first);
        keep_spelling_below(*removed->second.as_table(), path);
    }
    // The old key also stands inside deeper headers; keep its spacing around
    // dots where the new header has none.
    Decor dots = last.key.dotted_decor();
    const Decor& old_dots = removed->first.dotted_decor();
    if (dots.prefix.is_absent()) dots.prefix = old_dots.prefix;
    if (dots.suffix.is_absent()) dots.suffix = old_dots.suffix;
    last.key.set_dotted_decor(std::move(dots));
    filling_ = std::move(*removed->second.as_table());
}

void Assembler::finish_table() {
    if (!in_header_) return;
    in_header_ = false;
    current_ = root_;
    depth_ = 0;
    KeyPart& last = header_parts_.back();
    if (!array_header_) {
        header_parent_->items.append(std::move(last.key), Item(std::move(filling_)));
        return;
    }
    int depth = 0;
    Table* parent = descend(*root_, header_parts_, header_parts_.size() - 1, false, depth);
    if (parent == nullptr) return;
    Entry* existing = parent->items.find_entry(last.key.key);
    if (existing == nullptr) {
        ArrayOfTables tables;
        tables.values.emplace_back(std::move(filling_));
        parent->items.append(std::move(last.key), Item(std::move(tables)));
    } else if (ArrayOfTables* tables = existing->item.as_array_of_tables()) {
        tables->values.emplace_back(std::move(filling_));
    } else {
        report_duplicate(last.span);
    }
}

void assemble_document(std::string_view source, const EventList& events, bool bom,
                       ErrorSink& errors, DocumentMut& doc) {
    Assembler a(source, errors, true);
    a.document(events, doc, bom);
}

DocumentAssembly::DocumentAssembly(std::string_view source, bool bom, ErrorSink& errors, DocumentMut& doc,
                                   size_t hand_over_from)
    : StatementSink(hand_over_from),
      assembler_(std::make_unique<Assembler>(source, errors, true)), doc_(doc), bom_(bom) {}

DocumentAssembly::~DocumentAssembly() = default;

void DocumentAssembly::statements(EventList& events, size_t end, uint32_t root_lines) {
    take(events, end, root_lines);
    events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(end));
}

void DocumentAssembly::take(const EventList& events, size_t end, uint32_t root_lines, ScalarsAhead ahead) {
    if (!started_) {
        assembler_->start(doc_, bom_, root_lines);
        started_ = true;
    }
    assembler_->statements(events, end, ahead);
}

void DocumentAssembly::finish(const EventList& events, ScalarsAhead ahead) {
    take(events, events.size(), events.back().count, ahead);
}

Value assemble_value(std::string_view source, const EventList& events, ErrorSink& errors) {
    Assembler a(source, errors, false);
    return a.value(events);
}

}  // namespace toml::detail
