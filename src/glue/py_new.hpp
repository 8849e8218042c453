// Taking over new references that the C API returns, and str built from
// UTF-8 text held by the model.
#pragma once

#include <string_view>

#include "convert/utf8_to_str.hpp"
#include "glue/error.hpp"

namespace quillon {

// Owns `obj`; the interpreter's current error when `obj` is null.
inline Result<PyRef> new_ref(PyObject* obj) {
    if (!obj) return Error::fetch();
    return PyRef(obj);
}

// A new str, or nullptr with the Python error set.
inline PyObject* new_str(std::string_view text) {
    constexpr size_t kLongText = 1024;
    if (text.size() >= kLongText) return str_from_utf8(text);
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
}

inline Result<PyRef> text_to_str(std::string_view text) { return new_ref(new_str(text)); }

}  // namespace quillon
