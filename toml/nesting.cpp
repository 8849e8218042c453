#include "nesting.hpp"

#include <algorithm>

namespace toml {
namespace {

// One level plus the deepest of `children`, each measured with one level less.
template <class Range, class Measure>
int container_height(const Range& children, int cap, Measure&& measure) {
    if (cap <= 0) return 1;
    int deepest = 0;
    for (const auto& child : children) {
        deepest = std::max(deepest, measure(child, cap - 1));
        if (deepest >= cap) break;
    }
    return 1 + deepest;
}

int entry_height(const Entry& e, int cap) { return nesting_height(e.item, cap); }
int element_height(const Item& item, int cap) { return nesting_height(item, cap); }

}  // namespace

int nesting_height(const Value& value, int cap) {
    if (const Array* array = value.as_array()) return container_height(array->values, cap, element_height);
    if (const InlineTable* table = value.as_inline_table())
        return container_height(table->items.entries(), cap, entry_height);
    return 0;
}

int nesting_height(const Table& table, int cap) { return container_height(table.items.entries(), cap, entry_height); }

int nesting_height(const Item& item, int cap) {
    if (const Value* v = item.as_value()) return nesting_height(*v, cap);
    if (const Table* t = item.as_table()) return nesting_height(*t, cap);
    if (const ArrayOfTables* tables = item.as_array_of_tables())
        return container_height(tables->values, cap, element_height);
    return 0;
}

}  // namespace toml
