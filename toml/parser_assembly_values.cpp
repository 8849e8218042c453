// Assembly of values: scalars, arrays and inline tables with the text around
// their elements.
#include <algorithm>
#include <cassert>
#include <utility>

#include "decoder.hpp"
#include "parser_assembler.hpp"

namespace toml::detail {

int Assembler::read_value(Value& out) {
    const Event& e = take();
    switch (e.kind) {
        case EventKind::ArrayOpen:
            return read_array(out.v.emplace_over_empty<Array>());
        case EventKind::InlineTableOpen:
            return read_inline_table(out.v.emplace_over_empty<InlineTable>());
        default:
            if (e.count != 0) {
                assert(ahead_.scalars != nullptr);
                put_scalar(out, ahead_.scalars[e.count - 1], src_, ahead_.store, borrow_);
            } else {
                decode_scalar(src_, e.span(), e.quoting, e.plain, errors_, out, key_text_, borrow_);
            }
            if (RawString* repr = out.repr()) *repr = text(e.span());
            return 0;
    }
}

// Text between "[" or "," and an element is its prefix; text after it up to
// the next "," or "]" its suffix; text after a final "," is the trailing.
int Assembler::read_array(Array& array) {
    array.values.reserve(ev_[i_ - 1].count);
    Span before = gap();
    int height = 1;
    while (kind() != EventKind::ArrayClose) {
        Value& element = *array.values.emplace_back(std::in_place).as_value();
        height = std::max(height, 1 + read_value(element));
        Span after = gap();
        Decor& decor = element.decor();
        decor.prefix = text(before);
        decor.suffix = text(after);
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
    return height;
}

int Assembler::read_inline_table(InlineTable& table) {
    table.items.entries().reserve(ev_[i_ - 1].count);
    Span before = gap();
    int height = 1;
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
        Item value(std::in_place);
        Value& v = *value.as_value();
        // Nested tables leave parts_ as they found it; dotted parts before the
        // last are inline tables of their own.
        int inner = read_value(v) + static_cast<int>(parts_.size() - first - 1);
        height = std::max(height, 1 + inner);
        Span value_suffix = gap();
        Decor& decor = v.decor();
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
    return height;
}

// Inserts a key/value read inside an inline table. Dotted keys pass only
// through inline tables made by earlier dotted keys of the same table.
void Assembler::place_inline(InlineTable& table, size_t first_part, Item&& value) {
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
            Entry& added = target->items.append(std::move(part.key), Item(Value(std::move(created))));
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
    target->items.append(std::move(leaf.key), std::move(value));
}

}  // namespace toml::detail
