// Converting a Python object into a whole table entry (a value, a table or an
// array of tables), and reading what an Item given from Python designates.
#pragma once

#include "glue/error.hpp"
#include "refs/borrow.hpp"
#include "refs/item_proxy.hpp"
#include "toml/model.hpp"

namespace quillon {

// An Item is copied, a Document gives a copy of its root table, a mapping
// becomes a table, a non-empty list or tuple of mappings an array of tables;
// anything else goes through extract_value.
Result<toml::Item> extract_item(PyObject* obj);

// Shared access to the model item that an Item argument designates: holds a
// read borrow of the Item's document for its lifetime, taken before the
// freshness check and the path resolution.
class ReferencedItem {
public:
    static Result<ReferencedItem> open(ItemProxyObject* proxy);
    const toml::Item& item() const { return *item_; }

private:
    ReferencedItem(ReadBorrow access, const toml::Item* item) : access_(std::move(access)), item_(item) {}
    ReadBorrow access_;
    const toml::Item* item_;
};

// Read borrow of a Document argument and a copy of its root table.
Result<toml::Table> copy_document_root(DocumentObject* doc);

}  // namespace quillon
