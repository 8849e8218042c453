// The slots through which a ScalarItem stands in for its plain value: each one
// reads the value and applies the interpreter's own operation to it, taken
// from the operator or builtins module, so that results, coercions and error
// messages are exactly those of the plain value.
#pragma once

#include "glue/args.hpp"
#include "glue/py_ref.hpp"

namespace quillon {

PyObject* scalar_add(PyObject* left, PyObject* right);
PyObject* scalar_subtract(PyObject* left, PyObject* right);
PyObject* scalar_multiply(PyObject* left, PyObject* right);
PyObject* scalar_true_divide(PyObject* left, PyObject* right);
PyObject* scalar_floor_divide(PyObject* left, PyObject* right);
PyObject* scalar_remainder(PyObject* left, PyObject* right);
PyObject* scalar_power(PyObject* left, PyObject* right, PyObject* modulus);

PyObject* scalar_negative(PyObject* self);
PyObject* scalar_positive(PyObject* self);
PyObject* scalar_absolute(PyObject* self);
PyObject* scalar_invert(PyObject* self);
PyObject* scalar_index(PyObject* self);
PyObject* scalar_int(PyObject* self);
PyObject* scalar_float(PyObject* self);

Py_hash_t scalar_hash(PyObject* self);
int scalar_contains(PyObject* self, PyObject* x);
PyObject* scalar_richcompare(PyObject* self, PyObject* other, int op);
PyObject* scalar_getattro(PyObject* self, PyObject* name);
// __format__(spec): the plain value's own __format__.
inline constexpr Param kFormatParams[] = {{"spec", ParamKind::PositionalOrKeyword, true}};
inline constexpr Signature kFormatSignature{"ScalarItem.__format__()", kFormatParams};
PyObject* scalar_format(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace quillon
