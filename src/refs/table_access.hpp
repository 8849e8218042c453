// The table a mapping method acts on, reached the same way for both mapping
// classes: a Document's root table (the empty path, which never goes stale)
// and the table or inline table a DictItem designates (once the reference is
// found fresh and its path resolves).
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "classes/document.hpp"
#include "glue/error.hpp"
#include "refs/borrow.hpp"
#include "refs/item_proxy.hpp"
#include "refs/path.hpp"
#include "toml/model.hpp"

namespace quillon {

// Shared access, held for the lifetime of this object.
class TableRead {
public:
    // `self` is a Document or a DictItem.
    static Result<TableRead> open(PyObject* self);
    const toml::Item& item() const { return *item_; }
    const toml::DocumentMut& model() const { return as_document(doc_)->inner; }
    // A new reference to the entry `key`, made at the current generation.
    Result<PyRef> child(std::string_view key) const;

private:
    TableRead(std::variant<ReadBorrow, ItemRead> access, PyObject* doc, const Path& path, const toml::Item* item)
        : access_(std::move(access)), doc_(doc), path_(&path), item_(item) {}
    std::variant<ReadBorrow, ItemRead> access_;
    PyObject* doc_;
    const Path* path_;
    const toml::Item* item_;
};

// Exclusive access for an edit, and the recording of what it changed.
// Opening marks the table for the renderer but never alters the model.
class TableWrite {
public:
    // `self` is a Document or a DictItem.
    static Result<TableWrite> open(PyObject* self);
    toml::Item& item() const { return *item_; }
    toml::DocumentMut& model() const { return as_document(doc_)->inner; }
    // A change of the entry `key`: everything at or below it becomes stale.
    void bump_child(std::string key);
    // A new reference to the entry `key`, made at the current generation.
    Result<PyRef> child(std::string_view key) const;

private:
    TableWrite(std::variant<WriteBorrow, ItemWrite> access, PyObject* doc, const Path& path, toml::Item* item)
        : access_(std::move(access)), doc_(doc), path_(&path), item_(item) {}
    std::variant<WriteBorrow, ItemWrite> access_;
    PyObject* doc_;
    const Path* path_;
    toml::Item* item_;
};

// The document holding the table `self` stands for.
inline DocumentObject* table_document(PyObject* self) {
    return is_document(self) ? as_document(self) : as_proxy(self)->document();
}

// A new view of class `type` on the table `self` stands for, made at the
// current generation. A DictItem is checked for staleness but its path is not
// resolved: a view reports a path that no longer resolves when it is used.
Result<PyRef> new_table_view(PyObject* self, PyTypeObject* type);

}  // namespace quillon
