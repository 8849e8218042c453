// Live references into a Document: a path from the root plus the clock value
// at creation. DictItem, ListItem and ScalarItem share this layout.
#pragma once

#include <cstdint>

#include "borrow.hpp"
#include "document.hpp"
#include "path.hpp"

namespace quillon {

struct ItemProxyObject {
    PyObject_HEAD
    BorrowGuard guard;
    Path path;          // never empty
    PyObject* doc;      // strong reference to a DocumentObject
    uint64_t stamp;

    DocumentObject* document() const { return as_document(doc); }
};

inline bool is_item_proxy(PyObject* o) { return PyObject_TypeCheck(o, classes.item); }
inline ItemProxyObject* as_proxy(PyObject* o) { return reinterpret_cast<ItemProxyObject*>(o); }

}  // namespace quillon
