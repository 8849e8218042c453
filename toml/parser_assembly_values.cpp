// Assembly of values: scalars, arrays and inline tables with the text around
// their elements.
#include <utility>

#include "decoder.hpp"
#include "parser_assembler.hpp"

namespace toml::detail {

Value Assembler::read_value() {
    const Event& e = take();
    switch (e.kind) {
        case EventKind::ArrayOpen:
            return Value(read_array());
        case EventKind::InlineTableOpen:
            return Value(read_inline_table());
        default: {
            Value value = decode_scalar(src_, e.span(), e.quoting, errors_);
            if (RawString* repr = value.repr()) *repr = text(e.span());
            return value;
        }
    }
}

// Text between "[" or "," and an element is its prefix; text after it up to
// the next "," or "]" its suffix; text after a final "," is the trailing.
Array Assembler::read_array() {
    Array array;
    array.values.reserve(ev_[i_ - 1].count);
    Span before = gap();
    while (kind() != EventKind::ArrayClose) {
        Value element = read_value();
        Span after = gap();
        Decor& decor = element.decor();
        decor.prefix = text(before);
        decor.suffix = text(after);
        array.values.emplace_back(std::move(element));
        if (kind() == EventKind::ArrayClose) {
            before = here();
            break;
        }
        skip();  // ","
        before = gap();
        if (kind() == EventKind::ArrayClose) array.trailing_comma = true;
    }
    array.trailing = text(before);
    skip();  // "]"
    return array;
}

InlineTable Assembler::read_inline_table() {
    InlineTable table;
    table.items.entries().reserve(ev_[i_ - 1].count);
    Span before = gap();
    while (kind() != EventKind::InlineTableClose) {
        size_t first = parts_.size();
        read_key();
        {
            Key& leaf = parts_.back().key;
            leaf.leaf_decor.prefix = text(before);
            leaf.leaf_decor.suffix = text(gap());
        }
        skip();  // "="
        Span value_prefix = gap();
        Value value = read_value();  // nested tables leave parts_ as they found it
        Span value_suffix = gap();
        Decor& decor = value.decor();
        decor.prefix = text(value_prefix);
        decor.suffix = text(value_suffix);
        if (!errors_.has_error()) place_inline(table, first, std::move(value));
        parts_.erase(parts_.begin() + static_cast<std::ptrdiff_t>(first), parts_.end());
        if (kind() == EventKind::InlineTableClose) {
            before = here();
            break;
        }
        skip();  // ","
        before = gap();
        if (kind() == EventKind::InlineTableClose) table.trailing_comma = true;
    }
    table.trailing = text(before);
    skip();  // "}"
    return table;
}

// Inserts a key/value read inside an inline table. Dotted keys pass only
// through inline tables made by earlier dotted keys of the same table.
void Assembler::place_inline(InlineTable& table, size_t first_part, Value value) {
    InlineTable* target = &table;
    size_t last = parts_.size() - 1;
    written_.clear();
    bool respelled = false;
    for (size_t k = first_part; k < last; ++k) {
        KeyPart& part = parts_[k];
        Entry* entry = target->items.find_entry(part.key.key);
        if (entry == nullptr) {
            InlineTable created;
            created.implicit = true;
            created.dotted = true;
            Entry& added = target->items.push_back(std::move(part.key), Item(Value(std::move(created))));
            written_.push_back(&added.key);
            target = added.item.as_value()->as_inline_table();
            continue;
        }
        Value* existing = entry->item.as_value();
        InlineTable* inner = existing != nullptr ? existing->as_inline_table() : nullptr;
        if (inner != nullptr && inner->dotted) {
            respelled = respelled || !same_inner_spelling(entry->key, part.key, k > first_part);
            written_.push_back(&part.key);
            target = inner;
            continue;
        }
        if (inner != nullptr || existing == nullptr) {
            report_duplicate(part.span);
        } else {
            report_cannot_extend(*existing, part.span);
        }
        return;
    }
    KeyPart& leaf = parts_[last];
    if (target->items.find_entry(leaf.key.key) != nullptr) {
        report_duplicate(leaf.span);
        return;
    }
    if (respelled) keep_written_spelling(leaf.key);
    target->items.push_back(std::move(leaf.key), Item(std::move(value)));
}

}  // namespace toml::detail
