// Operations on one model item reached by a path: conversion of model items
// into plain Python objects (deep copies with no tie to the document), the
// classification of Python subscripts, and the kind-dispatching operations
// that the Python classes call once their path is resolved. None of them
// records changes: they report the PathStep or Affected positions to record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "glue/error.hpp"
#include "refs/path.hpp"
#include "toml/model.hpp"

namespace quillon {

// Any model item: values as below, a table as a dict, an array of tables as a
// list of dicts, the empty placeholder as None.
Result<PyRef> item_to_py(const toml::Item& item);
// str, int, float, bool, datetime/date/time, list, dict.
Result<PyRef> value_to_py(const toml::Value& value);
// datetime.datetime (naive or with a fixed-offset timezone), datetime.date or
// datetime.time (always naive). Nanoseconds are truncated to microseconds.
Result<PyRef> datetime_to_py(const toml::Datetime& dt);
// Dict of the entries that hold something, in order, keyed by key text.
Result<PyRef> table_to_pydict(const toml::EntryMap& entries);

// ---- subscripts ----

// What a Python subscript turned out to be.
struct Subscript {
    enum class Kind { Str, Int, Slice, Other };
    Kind kind = Kind::Other;
    std::string text;  // Str
    int64_t index = 0; // Int
    PyRef object;      // Slice: the slice; Other: the object (an Item's value)
};

// An exact slice is Slice; otherwise an Item stands for its value (its
// staleness and path errors propagate), then str gives Str, anything that
// converts to a signed 64-bit integer gives Int, the rest Other.
Result<Subscript> resolve_subscript_key(PyObject* obj);

// TypeError for a subscript the item cannot take: arrays want integers,
// tables strings, other kinds are not subscriptable.
Error subscript_type_error(const toml::Item& item);
// A subscript of another type read or deleted: KeyError(repr) on a table-like
// item, invalid_subscript_type otherwise.
Error invalid_subscript(PyObject* obj, const toml::Item& item);
// TypeError "indices must be integers or strings, not <type name>".
Error invalid_subscript_type(PyObject* obj);

// ---- kind-dispatching operations ----

// Stores `new_item` under `key` of a table-like item; reports Str(key) when an
// entry with a value was replaced, nothing for a new key.
Result<std::optional<PathStep>> item_setitem_str(toml::Item& item, std::string_view key, toml::Item new_item);
// Replaces an element of an array or array of tables; reports its position.
Result<PathStep> item_setitem_int(toml::Item& item, int64_t index, toml::Item new_item);
Result<PathStep> item_delitem_str(toml::Item& item, std::string_view key);
Result<Affected> item_delitem_int(toml::Item& item, int64_t index);
// May run Python code (equality of elements with `x`).
Result<bool> item_contains(const toml::Item& item, PyObject* x);
// Entries holding a value, or elements; nullopt for other kinds.
std::optional<size_t> item_len(const toml::Item& item);
// Table-like: the keys in order; array-like: the length.
Result<std::variant<std::vector<std::string>, size_t>> item_iter_kind(const toml::Item& item);
Result<PyRef> item_str(const toml::Item& item);
// "Item(<kind word>, <trimmed TOML text>)".
std::string item_repr(const toml::Item& item);
// The item rendered on its own, whitespace trimmed at both ends.
std::string item_toml_text(const toml::Item& item);
Status item_clear(toml::Item& item);
// A table left without entries by a removal would vanish from the text if it
// stood for dotted keys or had its header suppressed: it becomes a plain
// table (or a plain inline table) so that it renders as an empty one.
void keep_emptied_table_visible(toml::Item& item);

// Table to inline table, array of tables to array of inline tables; the
// empty placeholder is a TypeError.
Result<toml::Value> into_value(toml::Item item);

}  // namespace quillon
