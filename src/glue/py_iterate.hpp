// Walking a Python iterable with a C++ callback that may fail.
#pragma once

#include "glue/error.hpp"

namespace quillon {

// Applies `fn` to each element that iterating `obj` yields, holding it while
// `fn` runs; the first failure stops the walk and is returned.
template <class Fn>
Status walk_iterable(PyObject* obj, Fn&& fn) {
    PyRef it(PyObject_GetIter(obj));
    if (!it) return Error::fetch();
    while (PyRef el{PyIter_Next(it.get())}) {
        Status st = fn(el.get());
        if (!st) return st;
    }
    if (PyErr_Occurred()) return Error::fetch();
    return ok_status();
}

}  // namespace quillon
