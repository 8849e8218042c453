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

namespace quillon {

// A new reference (narrowed to DictItem, ListItem or ScalarItem by the kind of
// what the path designates). KeyError "path no longer valid" when the path
// does not resolve. Takes its own reference to `doc`.
Result<PyRef> into_typed(PyObject* doc, Path path, uint64_t stamp);
// A child reference of `parent_path` + `key`, stamped with the document's
// current generation.
Result<PyRef> make_child_typed(PyObject* doc, const Path& parent_path, uint64_t stamp, Key key);

// Freshness check, path resolution and deep copy of the referenced model item;
// a copied array element or inline-table entry carries its inline comment.
Result<toml::Item> clone_item(ItemProxyObject* proxy);
// For an Item: its plain Python value (staleness and path errors propagate).
// For any other object: an empty PyRef and no error.
Result<PyRef> resolve_proxy(PyObject* obj);

}  // namespace quillon
