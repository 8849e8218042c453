// Members of the Document class defined outside document.cpp: item access,
// clear, fmt and equality (the other mapping members are in mapping_methods).
#pragma once

#include "glue/args.hpp"
#include "glue/py_ref.hpp"

namespace quillon {

PyObject* document_getitem(PyObject* self, PyObject* key);
int document_setitem(PyObject* self, PyObject* key, PyObject* value);
PyObject* document_richcompare(PyObject* self, PyObject* other, int op);

inline constexpr Signature kClearSignature{"Document.clear()", {}};
inline constexpr Signature kFmtSignature{"Document.fmt()", {}};
PyObject* document_clear(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* document_fmt(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace quillon
