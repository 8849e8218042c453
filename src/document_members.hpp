// Members of the Document class defined outside document.cpp: item access,
// the writing methods, the merge operators and equality.
#pragma once

#include "py_ref.hpp"

namespace quillon {

PyObject* document_getitem(PyObject* self, PyObject* key);
int document_setitem(PyObject* self, PyObject* key, PyObject* value);
PyObject* document_richcompare(PyObject* self, PyObject* other, int op);
PyObject* document_or(PyObject* left, PyObject* right);
PyObject* document_ior(PyObject* self, PyObject* other);

PyObject* document_get(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* document_pop(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* document_popitem(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* document_setdefault(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* document_update(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* document_clear(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* document_fmt(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace quillon
