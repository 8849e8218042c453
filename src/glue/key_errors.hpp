// The errors of mapping access by key.
#pragma once

#include <string_view>
#include <utility>

#include "glue/error.hpp"
#include "glue/py_new.hpp"

namespace quillon {

// KeyError(key) for a missing string key.
inline Error missing_key(std::string_view key) {
    Result<PyRef> arg = text_to_str(key);
    QUILLON_TRY(arg);
    return Error::with_arg(PyExc_KeyError, std::move(*arg));
}

// KeyError whose argument is the text of repr(key), for keys that are not strings.
inline Error non_string_key(PyObject* key) {
    Result<PyRef> text = new_ref(PyObject_Repr(key));
    QUILLON_TRY(text);
    return Error::with_arg(PyExc_KeyError, std::move(*text));
}

inline Error keys_must_be_strings() { return Error::type_error("keys must be strings"); }

}  // namespace quillon
