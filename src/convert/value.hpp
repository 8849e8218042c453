// Converting Python objects into model values, tables, inline tables, arrays
// and arrays of tables. Runs before any document access is taken, so the
// object's own Python code (items(), __len__, utcoffset()) may run freely.
#pragma once

#include "glue/error.hpp"
#include "toml/model.hpp"

namespace quillon {

// collections.abc.Mapping, or an empty PyRef with an exception set.
PyRef mapping_abc();

// A dict (or subclass), or an instance of collections.abc.Mapping. A failing
// isinstance test is reported as unraisable and counts as "not a mapping".
bool is_mapping(PyObject* obj);

// A list or tuple, or a subclass of either.
inline bool is_list_or_tuple(PyObject* obj) { return PyList_Check(obj) || PyTuple_Check(obj); }

// Which datetime class an object belongs to (a datetime is not reported as a
// date). Fails only when the datetime C API cannot be loaded.
enum class PyDatetimeKind { Other, Datetime, Date, Time };
Result<PyDatetimeKind> py_datetime_kind(PyObject* obj);

Result<toml::Value> extract_value(PyObject* obj);
// A mapping whose values become model items (sub-tables, arrays of tables).
Result<toml::Table> extract_table(PyObject* obj);
// A mapping whose values become model values only.
Result<toml::InlineTable> extract_inline_table(PyObject* obj);
Result<toml::Array> extract_array(PyObject* obj);
Result<toml::ArrayOfTables> extract_array_of_tables(PyObject* obj);

}  // namespace quillon
