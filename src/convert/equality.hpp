// Equality by content: decor, comments, key quoting, number and string
// spellings, entry order and the implicit/dotted flags never matter. A table
// equals an inline table with the same content, an array of tables an array
// of inline tables.
#pragma once

#include "glue/error.hpp"
#include "toml/model.hpp"

namespace quillon {

// Document piece against document piece; these never fail. The None
// placeholder equals nothing, not even another placeholder.
bool items_structural_eq(const toml::Item& a, const toml::Item& b);
bool tables_structural_eq(const toml::Table& a, const toml::Table& b);
bool values_structural_eq(const toml::Value& a, const toml::Value& b);
bool table_inline_eq(const toml::Table& table, const toml::InlineTable& inline_table);
bool aot_array_eq(const toml::ArrayOfTables& tables, const toml::Array& array);

// Document piece against a Python object (which may be an Item). May run
// Python code; errors of len(), ==, datetime conversion and of stale Items
// are returned, a failing key lookup only makes the answer false.
Result<bool> item_eq(const toml::Item& item, PyObject* obj);
Result<bool> table_eq(const toml::Table& table, PyObject* obj);
Result<bool> value_eq(const toml::Value& value, PyObject* obj);

// What `a != b` answers for classes whose != is the negation of their ==: the
// truth of the interpreter's `a == b`, negated. nullptr with the error set.
PyObject* negated_eq(PyObject* a, PyObject* b);

}  // namespace quillon
