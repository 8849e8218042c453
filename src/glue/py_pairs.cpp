#include "glue/py_pairs.hpp"

namespace quillon {

namespace {

Error not_a_pair() { return Error::value_error("expected a length-2 iterable pair"); }

// Next element of `it`; an empty PyRef with no error set means exhausted.
Result<PyRef> next_element(PyObject* it) {
    PyRef el(PyIter_Next(it));
    if (!el && PyErr_Occurred()) return Error::fetch();
    return el;
}

}  // namespace

Result<std::pair<PyRef, PyRef>> extract_pair(PyObject* obj) {
    // Exact tuples and lists cannot run code while being iterated.
    if (PyTuple_CheckExact(obj)) {
        if (PyTuple_GET_SIZE(obj) != 2) return not_a_pair();
        return std::pair(PyRef::borrow(PyTuple_GET_ITEM(obj, 0)), PyRef::borrow(PyTuple_GET_ITEM(obj, 1)));
    }
    if (PyList_CheckExact(obj)) {
        if (PyList_GET_SIZE(obj) != 2) return not_a_pair();
        return std::pair(PyRef::borrow(PyList_GET_ITEM(obj, 0)), PyRef::borrow(PyList_GET_ITEM(obj, 1)));
    }

    PyRef it(PyObject_GetIter(obj));
    if (!it) return Error::fetch();
    auto first = next_element(it.get());
    QUILLON_TRY(first);
    if (!*first) return not_a_pair();
    auto second = next_element(it.get());
    QUILLON_TRY(second);
    if (!*second) return not_a_pair();
    auto third = next_element(it.get());
    QUILLON_TRY(third);
    if (*third) return not_a_pair();
    return std::pair(std::move(*first), std::move(*second));
}

}  // namespace quillon
