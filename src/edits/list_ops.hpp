// List operations on arrays and arrays of tables, with decor upkeep. They act
// on a sequence already reached through a fresh reference and return errors
// and the positions they shifted; the caller raises and records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "glue/error.hpp"
#include "refs/path.hpp"
#include "toml/model.hpp"

namespace quillon {

// A sequence: exactly one of the two pointers is set, as `is_aot` says.
struct ArrayLike {
    bool is_aot = false;
    toml::Array* array = nullptr;
    toml::ArrayOfTables* aot = nullptr;

    size_t len() const { return is_aot ? aot->len() : array->len(); }
};

struct ConstArrayLike {
    bool is_aot = false;
    const toml::Array* array = nullptr;
    const toml::ArrayOfTables* aot = nullptr;

    size_t len() const { return is_aot ? aot->len() : array->len(); }
    const toml::Item& element(size_t i) const { return is_aot ? aot->values[i] : array->values[i]; }
};

// TypeError "'<kind>' does not support <op>" unless `item` is an array or an
// array of tables; `op` is a label such as "append()".
Result<ConstArrayLike> as_array_like(const toml::Item& item, const char* op);
Result<ArrayLike> as_array_like_mut(toml::Item& item, const char* op);

// A Python list (or subclass) or a ListItem. Never fails.
bool is_list_like(PyObject* obj);

// A table for an array of tables: a table as is, an inline table converted.
Result<toml::Table> require_table(toml::Item item);

// Position designated by an integer subscript (negative counts from the end).
Result<size_t> require_array_index(const toml::Item& item, int64_t index);

// Compares one element (a Value item of an array, or a Table item of an array
// of tables) with the object being looked for.
using ElementEquals = std::function<Result<bool>(const toml::Item& element)>;

Result<size_t> item_count(const ConstArrayLike& seq, const ElementEquals& equals);
// ValueError "value not in array" when no element in [start, stop) matches.
Result<size_t> item_index(const ConstArrayLike& seq, const ElementEquals& equals, std::optional<int64_t> start,
                          std::optional<int64_t> stop);

Status item_append(const ArrayLike& seq, toml::Item item);
Status item_extend(const ArrayLike& seq, std::vector<toml::Item> items);
Result<Affected> item_insert(const ArrayLike& seq, int64_t index, toml::Item item);

struct Removed {
    toml::Item item;
    Affected affected;
};
// IndexError "array index out of range" when `position` is not below the length.
Result<Removed> item_remove_at(const ArrayLike& seq, size_t position);
// Position that pop(index) removes: without an index the last one
// (IndexError "pop from empty array"), else IndexError "index out of range"
// outside the sequence.
Result<size_t> pop_position(const ArrayLike& seq, std::optional<int64_t> index);
// Without an index: the last element (IndexError "pop from empty array").
Result<Removed> list_pop(const ArrayLike& seq, std::optional<int64_t> index);
// `index` may be nullptr or None (no index); otherwise it must convert to a
// signed 64-bit integer (the conversion error is returned).
Result<Removed> list_pop(const ArrayLike& seq, PyObject* index);

// Positions of a slice whose bounds were normalised by the caller.
std::vector<size_t> collect_slice_indices(int64_t start, int64_t stop, int64_t step);
// Removes the given positions (any order, duplicates allowed).
void item_delitem_slice(const ArrayLike& seq, std::vector<size_t> positions);
// ValueError for an extended slice whose size differs from the item count.
Status item_setitem_slice(const ArrayLike& seq, int64_t start, int64_t stop, int64_t step,
                          std::vector<toml::Item> items);

// One element per line, `indent` spaces deep, with a trailing comma.
void item_set_multiline(const ArrayLike& seq, size_t indent);

}  // namespace quillon
