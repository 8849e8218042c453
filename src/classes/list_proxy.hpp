// ListItem: the list methods and operators of a reference to an array or an
// array of tables.
#pragma once

#include <vector>

#include "glue/error.hpp"
#include "toml/model.hpp"

namespace quillon {

// Every element of a Python iterable converted into a model item; the first
// error (not iterable, conversion) is returned. Runs before any document is
// borrowed, since iteration and conversion may run Python code.
Result<std::vector<toml::Item>> extract_items(PyObject* iterable);

// Number slots of ListItem.
PyObject* list_item_add(PyObject* left, PyObject* right);
PyObject* list_item_multiply(PyObject* left, PyObject* right);
PyObject* list_item_inplace_add(PyObject* self, PyObject* other);
PyObject* list_item_inplace_multiply(PyObject* self, PyObject* n);

// extend(values) on the ListItem `self`.
Status list_item_extend_with(PyObject* self, PyObject* values);

}  // namespace quillon
