// Normalisation, conversions between tables and values, and the flattened
// key/value listing.
#include "model.hpp"
#include "value_walk.hpp"

namespace toml {

namespace {

// Value entries lose their key and value decors; keys and values keep their
// spelling. Tables, arrays of tables and nested values are left alone.
void fmt_entries(EntryMap& items) {
    for (Entry& e : items.entries()) {
        if (Value* v = e.item.as_value()) {
            e.key.leaf_decor.clear();
            e.key.clear_dotted_decor();
            v->decor().clear();
        }
    }
}

}  // namespace

void Table::fmt() { fmt_entries(items); }

void InlineTable::fmt() { fmt_entries(items); }

InlineTable Table::into_inline_table() && {
    InlineTable out;
    out.items = std::move(items);
    for (Entry& e : out.items.entries()) e.item.make_value();
    out.fmt();
    return out;
}

Table InlineTable::into_table() && {
    Table out;
    out.items = std::move(items);
    out.fmt();
    return out;
}

Array ArrayOfTables::into_array() && {
    Array out;
    out.values.reserve(values.size());
    for (Item& item : values) {
        if (std::optional<Value> v = std::move(item).into_value()) out.values.emplace_back(std::move(*v));
    }
    out.fmt();
    return out;
}

std::optional<Value> Item::into_value() && {
    switch (kind()) {
        case ItemKind::None:
            return std::nullopt;
        case ItemKind::Value:
            return std::move(*as_value());
        case ItemKind::Table:
            return Value(std::move(*as_table()).into_inline_table());
        case ItemKind::ArrayOfTables:
            return Value(std::move(*as_array_of_tables()).into_array());
    }
    return std::nullopt;
}

void Item::make_value() {
    if (is_value()) return;
    std::optional<Value> v = std::move(*this).into_value();
    if (v) {
        *this = Item(std::move(*v));
    } else {
        *this = Item();
    }
}

void get_values(const EntryMap& items, std::vector<KeyValueRef>& out) {
    std::vector<const Key*> stack;
    auto collect = [&out](const std::vector<const Key*>& path, const Value& v) {
        out.push_back(KeyValueRef{path, &v});
    };
    walk_values(items, stack, collect);
}

}  // namespace toml
