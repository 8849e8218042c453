// Live views of a table's keys, values or (key, value) pairs.
#pragma once

#include <cstdint>

#include "classes/document.hpp"
#include "glue/error.hpp"
#include "refs/borrow.hpp"
#include "refs/path.hpp"
#include "toml/model.hpp"

namespace quillon {

// Shared layout of KeysView, ValuesView and ItemsView.
struct ViewObject {
    PyObject_HEAD
    BorrowGuard guard;
    Path path;      // of the table; empty for the document root
    PyObject* doc;  // strong reference to a DocumentObject
    uint64_t generation;
    LiveReference live;  // known to the document's trie while this exists

    DocumentObject* document() const { return as_document(doc); }
    ModuleState* state() const { return document()->state; }
};

inline ViewObject* as_view(PyObject* o) { return reinterpret_cast<ViewObject*>(o); }
inline bool is_keys_view(PyObject* o) { return is_instance_of(o, &ModuleState::keys_view); }

// A new view of class `type` (one of the three view classes) on the table at
// `path` of `doc`, made at the document's current generation. The path
// is not resolved here: a view reports a path that no longer resolves when
// it is used.
Result<PyRef> make_view(PyTypeObject* type, PyObject* doc, Path path);

// Shared access to the table a view shows: the view's own guard and its
// document's guard are held for the lifetime of this object, taken before
// the freshness check and the path resolution.
class ViewRead {
public:
    static Result<ViewRead> open(ViewObject* view);
    const toml::Item& item() const { return *item_; }
    ViewObject* view() const { return view_; }

private:
    ViewRead(ReadBorrow self, ReadBorrow doc, ViewObject* view, const toml::Item* item)
        : self_(std::move(self)), doc_(std::move(doc)), view_(view), item_(item) {}
    ReadBorrow self_;
    ReadBorrow doc_;
    ViewObject* view_;
    const toml::Item* item_;
};

// Membership, comparison and set operators (view_compare.cpp).
int keys_view_contains(PyObject* self, PyObject* key);
int values_view_contains(PyObject* self, PyObject* value);
int items_view_contains(PyObject* self, PyObject* pair);
PyObject* keys_view_richcompare(PyObject* self, PyObject* other, int op);
PyObject* items_view_richcompare(PyObject* self, PyObject* other, int op);
PyObject* keys_view_or(PyObject* left, PyObject* right);
PyObject* keys_view_xor(PyObject* left, PyObject* right);
PyObject* keys_view_and(PyObject* left, PyObject* right);
PyObject* keys_view_sub(PyObject* left, PyObject* right);

}  // namespace quillon
