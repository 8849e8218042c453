// Entry points called by the interpreter run their body through `boundary`, so
// that no C++ exception (in practice std::bad_alloc) crosses into Python, and
// so that each call keeps its own account of the content it brings in.
#pragma once

#include <exception>
#include <new>

#include "glue/py_ref.hpp"
#include "refs/nesting_guard.hpp"

namespace quillon {

// Runs `body`; a C++ exception becomes a Python exception and `on_error` is
// returned (nullptr for object slots, -1 for int slots).
template <class R, class F>
R boundary(R on_error, F&& body) noexcept {
    CallNesting call;
    try {
        return body();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_SystemError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unexpected internal error");
    }
    return on_error;
}

template <class F>
PyObject* boundary(F&& body) noexcept {
    return boundary<PyObject*>(nullptr, static_cast<F&&>(body));
}

}  // namespace quillon
