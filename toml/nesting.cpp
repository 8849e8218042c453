#include "nesting.hpp"

namespace toml {
namespace {

bool entries_fit(const EntryMap& items, int levels) {
    for (const Entry& e : items.entries()) {
        if (!nesting_fits(e.item, levels)) return false;
    }
    return true;
}

}  // namespace

bool nesting_fits(const Value& value, int levels) {
    if (const Array* array = value.as_array()) {
        if (levels <= 0) return false;
        for (const Item& element : array->values) {
            if (!nesting_fits(element, levels - 1)) return false;
        }
        return true;
    }
    if (const InlineTable* table = value.as_inline_table()) {
        return levels > 0 && entries_fit(table->items, levels - 1);
    }
    return true;
}

bool nesting_fits(const Table& table, int levels) { return levels > 0 && entries_fit(table.items, levels - 1); }

bool nesting_fits(const Item& item, int levels) {
    if (const Value* v = item.as_value()) return nesting_fits(*v, levels);
    if (const Table* t = item.as_table()) return nesting_fits(*t, levels);
    if (const ArrayOfTables* tables = item.as_array_of_tables()) {
        if (levels <= 0) return false;
        for (const Item& member : tables->values) {
            if (!nesting_fits(member, levels - 1)) return false;
        }
    }
    return true;
}

}  // namespace toml
