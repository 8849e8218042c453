// Access to the interpreter's datetime C API. The header of that API keeps its
// table in a variable private to each source file, so every file that uses
// the API calls `datetime_api_ready()` before its first use.
#pragma once

#include "glue/py_ref.hpp"

#include <datetime.h>

namespace quillon {

// Imports the capsule once per source file; false with an exception set when
// the import fails.
static inline bool datetime_api_ready() {
    if (!PyDateTimeAPI) PyDateTime_IMPORT;
    return PyDateTimeAPI != nullptr;
}

}  // namespace quillon
