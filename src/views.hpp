// Live views of a table's keys, values or (key, value) pairs.
#pragma once

#include <cstdint>

#include "borrow.hpp"
#include "document.hpp"
#include "path.hpp"

namespace quillon {

// Shared layout of KeysView, ValuesView and ItemsView.
struct ViewObject {
    PyObject_HEAD
    BorrowGuard guard;
    Path path;      // of the table; empty for the document root
    PyObject* doc;  // strong reference to a DocumentObject
    uint64_t stamp;

    DocumentObject* document() const { return as_document(doc); }
};

inline ViewObject* as_view(PyObject* o) { return reinterpret_cast<ViewObject*>(o); }

}  // namespace quillon
