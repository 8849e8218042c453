// The Python-facing members that every Item shares (DictItem, ListItem and
// ScalarItem inherit them): the container protocol, string forms, equality,
// value, as_toml, clear, fmt, parse and the comment properties.
#pragma once

#include "glue/py_ref.hpp"

namespace quillon {

PyObject* item_getitem_slot(PyObject* self, PyObject* key);
int item_setitem_slot(PyObject* self, PyObject* key, PyObject* value);
Py_ssize_t item_len_slot(PyObject* self);
int item_bool_slot(PyObject* self);
PyObject* item_iter_slot(PyObject* self);
int item_contains_slot(PyObject* self, PyObject* x);
PyObject* item_str_slot(PyObject* self);
PyObject* item_repr_slot(PyObject* self);
PyObject* item_richcompare_slot(PyObject* self, PyObject* other, int op);

// comment and inline_comment (item_comments.cpp).
PyObject* item_comment_get(PyObject* self, void*);
int item_comment_set(PyObject* self, PyObject* value, void*);
PyObject* item_inline_comment_get(PyObject* self, void*);
int item_inline_comment_set(PyObject* self, PyObject* value, void*);

extern PyMethodDef item_methods[];
extern PyMethodDef item_static_methods[];
extern PyGetSetDef item_getset[];

}  // namespace quillon
