// Walk over the key/value entries of a table-like map in rendering order,
// flattening dotted tables and dotted inline tables into key paths. The path
// is kept on a caller-owned stack of key pointers, so the walk allocates
// nothing once the stack has grown to the deepest path.
#pragma once

#include <vector>

#include "model.hpp"

namespace toml {

// An array of tables that holds no tables has no [[name]] section to show; it
// is written as an empty array so that its key survives a round trip.
inline const Value& empty_array_value() {
    static const Value kEmpty{Array{}};
    return kEmpty;
}

inline bool is_empty_array_of_tables(const Item& item) {
    const ArrayOfTables* aot = item.as_array_of_tables();
    return aot && aot->is_empty();
}

// Calls f(stack, value) for every entry; the entry's path is stack[base..]
// where base is the stack size on entry.
template <class F>
void walk_values(const EntryMap& items, std::vector<const Key*>& stack, F& f) {
    for (const Entry& e : items.entries()) {
        if (const Value* v = e.item.as_value()) {
            stack.push_back(&e.key);
            const InlineTable* it = v->as_inline_table();
            if (it && it->dotted) {
                walk_values(it->items, stack, f);
            } else {
                f(stack, *v);
            }
            stack.pop_back();
        } else if (const Table* t = e.item.as_table(); t && t->dotted) {
            stack.push_back(&e.key);
            walk_values(t->items, stack, f);
            stack.pop_back();
        } else if (is_empty_array_of_tables(e.item)) {
            stack.push_back(&e.key);
            f(stack, empty_array_value());
            stack.pop_back();
        }
    }
}

// Number of entries walk_values would report.
inline size_t count_values(const EntryMap& items) {
    size_t n = 0;
    for (const Entry& e : items.entries()) {
        if (const Value* v = e.item.as_value()) {
            const InlineTable* it = v->as_inline_table();
            n += (it && it->dotted) ? count_values(it->items) : 1;
        } else if (const Table* t = e.item.as_table(); t && t->dotted) {
            n += count_values(t->items);
        } else if (is_empty_array_of_tables(e.item)) {
            n += 1;
        }
    }
    return n;
}

// Whether walk_values would report anything.
inline bool has_values(const EntryMap& items) {
    for (const Entry& e : items.entries()) {
        if (const Value* v = e.item.as_value()) {
            const InlineTable* it = v->as_inline_table();
            if (!(it && it->dotted) || has_values(it->items)) return true;
        } else if (const Table* t = e.item.as_table(); t && t->dotted) {
            if (has_values(t->items)) return true;
        } else if (is_empty_array_of_tables(e.item)) {
            return true;
        }
    }
    return false;
}

}  // namespace toml
