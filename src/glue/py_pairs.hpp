// Splitting a Python two-element iterable into its two objects.
#pragma once

#include <utility>

#include "glue/error.hpp"

namespace quillon {

// The two objects of an iterable of exactly two elements; ValueError
// "expected a length-2 iterable pair" otherwise. Errors raised by the
// iteration itself are returned as they are.
Result<std::pair<PyRef, PyRef>> extract_pair(PyObject* obj);

}  // namespace quillon
