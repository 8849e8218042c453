// Live references into a Document: a path from the root plus the generation value
// at creation. DictItem, ListItem and ScalarItem share this layout.
#pragma once

#include <cstdint>

#include "classes/document.hpp"
#include "refs/borrow.hpp"
#include "refs/path.hpp"

namespace quillon {

struct ItemProxyObject {
    PyObject_HEAD
    BorrowGuard guard;
    Path path;          // never empty
    PyObject* doc;      // strong reference to a DocumentObject
    uint64_t generation;
    LiveReference live;  // known to the document's trie while this exists

    DocumentObject* document() const { return as_document(doc); }
    ModuleState* state() const { return document()->state; }
};

inline bool is_item_proxy(PyObject* o) { return is_instance_of(o, &ModuleState::item); }
inline ItemProxyObject* as_proxy(PyObject* o) { return reinterpret_cast<ItemProxyObject*>(o); }

}  // namespace quillon

namespace quillon {

// A new reference (narrowed to DictItem, ListItem or ScalarItem by the kind of
// what the path designates). KeyError "path no longer valid" when the path
// does not resolve. Takes its own reference to `doc`.
Result<PyRef> into_typed(PyObject* doc, Path path, uint64_t generation);
// A child reference of `parent_path` + `key`, made at the document's
// current generation.
Result<PyRef> make_child_typed(PyObject* doc, const Path& parent_path, uint64_t generation, PathStep&& key);

// A child of `parent_path` + `key` made at the document's current
// generation: a child is as fresh as the moment it is made.
Result<PyRef> child_proxy_typed(PyObject* doc, const Path& parent_path, PathStep&& key);

// Freshness check, path resolution and deep copy of the referenced model item;
// a copied array element or inline-table entry carries its inline comment.
Result<toml::Item> clone_item(ItemProxyObject* proxy);
// For an Item: its plain Python value (staleness and path errors propagate).
// For any other object: an empty PyRef and no error.
Result<PyRef> resolve_proxy(PyObject* obj);

// Item.parse and the narrowed parse methods: `text` parsed as one TOML value
// and placed under "_" in a new private document. With `class_name` set, the
// narrowed class must be `required_class`, otherwise ValueError
// "<class_name>.parse() requires a <kind_word> value, got <class>".
Result<PyRef> parse_as(ModuleState* state, PyObject* text, const char* class_name = nullptr,
                       PyTypeObject* required_class = nullptr, const char* kind_word = nullptr);

// Detached results (the + and * of ListItem, the | of DictItem) are built in
// a model document of their own under the single root key "_".
// Places `item` there and gives it back for further building.
toml::Item& place_detached(toml::DocumentMut& model, toml::Item item);
// A new private document for `model` and the narrowed reference to its "_"
// (generation 0). ValueError when what the call brought in would lie too deep.
Result<PyRef> detached_result(ModuleState* state, toml::DocumentMut model);

// Shared access to what a reference designates: the reference's own guard and
// its document's guard are held for the lifetime of this object, taken before
// the freshness check and the path resolution.
class ItemRead {
public:
    static Result<ItemRead> open(ItemProxyObject* proxy);
    const toml::Item& item() const { return *item_; }
    ItemProxyObject* proxy() const { return proxy_; }
    DocumentObject* document() const { return proxy_->document(); }

private:
    ItemRead(ReadBorrow self, ReadBorrow doc, ItemProxyObject* proxy, const toml::Item* item)
        : self_(std::move(self)), doc_(std::move(doc)), proxy_(proxy), item_(item) {}
    ReadBorrow self_;
    ReadBorrow doc_;
    ItemProxyObject* proxy_;
    const toml::Item* item_;
};

// Exclusive access to the document for an edit through a reference, and the
// recording of what the edit changed. Opening never alters the model: a path
// that no longer resolves fails before anything is written.
class ItemWrite {
public:
    static Result<ItemWrite> open(ItemProxyObject* proxy);
    toml::Item& item() const { return *item_; }
    ItemProxyObject* proxy() const { return proxy_; }
    DocumentObject* document() const { return proxy_->document(); }

    // A change of the child `key`: everything at or below it becomes stale.
    void bump_child(const PathStep& key);
    // A change of the reference's own path; this reference stays valid.
    void bump_self();
    // One PathStep: as bump_child. A range: those positions become stale and this
    // reference is refreshed. Nothing: no record.
    void bump_affected(const Affected& affected);
    // Positions [start, end) become stale and this reference is refreshed.
    void bump_range(size_t start, size_t end);

private:
    ItemWrite(ReadBorrow self, WriteBorrow doc, ItemProxyObject* proxy, toml::Item* item)
        : self_(std::move(self)), doc_(std::move(doc)), proxy_(proxy), item_(item) {}
    ReadBorrow self_;
    WriteBorrow doc_;
    ItemProxyObject* proxy_;
    toml::Item* item_;
};

}  // namespace quillon
