// Members of the DictItem class defined outside dict_proxy.cpp: the methods
// and operators that change the table.
#pragma once

#include "py_ref.hpp"

namespace quillon {

PyObject* dict_item_pop(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* dict_item_popitem(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* dict_item_update(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* dict_item_setdefault(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* dict_item_or(PyObject* left, PyObject* right);
PyObject* dict_item_ior(PyObject* self, PyObject* other);

}  // namespace quillon
