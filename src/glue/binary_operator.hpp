// Binary operator slots. The interpreter calls a class's slot with the
// operands in their written order, whichever of them belongs to the class.
#pragma once

#include "glue/boundary.hpp"
#include "glue/py_ref.hpp"

namespace quillon {

// `on_left(self, other)` when the left operand belongs to the class,
// `on_right(self, other)` when only the right one does, NotImplemented
// otherwise.
template <class IsOwn, class OnLeft, class OnRight>
PyObject* binary_operator(PyObject* left, PyObject* right, IsOwn&& is_own, OnLeft&& on_left, OnRight&& on_right) {
    return boundary([&]() -> PyObject* {
        if (is_own(left)) return on_left(left, right);
        if (is_own(right)) return on_right(right, left);
        Py_RETURN_NOTIMPLEMENTED;
    });
}

}  // namespace quillon
