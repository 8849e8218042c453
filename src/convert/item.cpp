#include "convert/item.hpp"

#include "convert/value.hpp"
#include "edits/copied_item.hpp"
#include "refs/nesting_guard.hpp"
#include "refs/paths.hpp"

namespace quillon {

Result<ReferencedItem> ReferencedItem::open(ItemProxyObject* proxy) {
    DocumentObject* doc = proxy->document();
    auto access = ReadBorrow::take(doc->guard);
    QUILLON_TRY(access);
    auto found = resolve_fresh(doc, proxy->path, proxy->generation);
    QUILLON_TRY(found);
    return ReferencedItem(std::move(*access), *found);
}

Result<toml::Table> copy_document_root(DocumentObject* doc) {
    auto access = ReadBorrow::take(doc->guard);
    QUILLON_TRY(access);
    return toml::Table(doc->inner.root_table());
}

namespace {

// A list or tuple at item level: a non-empty one whose elements all convert
// as tables becomes an array of tables, anything else an array.
Result<toml::Item> extract_sequence_item(PyObject* obj) {
    Py_ssize_t n = PyObject_Size(obj);
    if (n < 0) PyErr_Clear();
    if (n > 0) {
        auto tables = extract_array_of_tables(obj);
        if (tables) return toml::Item(std::move(*tables));
        // The attempt's error is dropped: the value conversion reports its own.
    }
    if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) {
        auto array = extract_array(obj);
        QUILLON_TRY(array);
        return toml::Item(toml::Value(std::move(*array)));
    }
    // Subclasses take the full value path (they might also be mappings).
    auto value = extract_value(obj);
    QUILLON_TRY(value);
    return toml::Item(std::move(*value));
}

Result<toml::Item> value_item(PyObject* obj) {
    auto value = extract_value(obj);
    QUILLON_TRY(value);
    return toml::Item(std::move(*value));
}

Result<toml::Item> table_item(PyObject* obj) {
    auto table = extract_table(obj);
    QUILLON_TRY(table);
    return toml::Item(std::move(*table));
}

}  // namespace

Result<toml::Item> extract_item(PyObject* obj) {
    // Exact built-in types first: none of them is an Item, a Document or None.
    if (PyDict_CheckExact(obj)) return table_item(obj);
    if (PyUnicode_CheckExact(obj) || PyLong_CheckExact(obj) || PyFloat_CheckExact(obj) || PyBool_Check(obj))
        return value_item(obj);
    if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) return extract_sequence_item(obj);

    if (is_item_proxy(obj)) {
        auto copy = clone_item(as_proxy(obj));
        if (!copy) return copy;
        Status fits = note_copied_height(toml::nesting_height(*copy));
        QUILLON_TRY(fits);
        return copy;
    }
    if (is_document(obj)) {
        auto root = copy_document_root(as_document(obj));
        QUILLON_TRY(root);
        // The root becomes a table of its own, one level deeper than it was.
        Status fits = note_copied_height(toml::nesting_height(*root));
        QUILLON_TRY(fits);
        // Header ranks of the source document mean nothing where the copy lands.
        toml::Item copy(std::move(*root));
        forget_render_positions(copy);
        return copy;
    }
    if (obj == Py_None) return Error::type_error("None is not a valid TOML value (TOML has no null type)");
    if (is_mapping(obj)) return table_item(obj);
    if (is_list_or_tuple(obj)) return extract_sequence_item(obj);
    return value_item(obj);
}

}  // namespace quillon
