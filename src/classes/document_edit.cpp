// The Document members that read and write single root entries, clear,
// fmt and equality; the shared mapping members are in mapping_methods.
#include <string>

#include "classes/document.hpp"
#include "classes/document_members.hpp"
#include "convert/equality.hpp"
#include "convert/item.hpp"
#include "convert/item_ops.hpp"
#include "edits/comments_on_removal.hpp"
#include "edits/dict_ops.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/key_errors.hpp"
#include "refs/item_proxy.hpp"
#include "refs/paths.hpp"

namespace quillon {
namespace {

toml::Table& root_table(DocumentObject* d) { return d->inner.root_table(); }

// The narrowed Item for root key `key`, made at the current generation.
Result<PyRef> make_proxy(PyObject* self, const std::string& key) {
    return into_typed(self, Path{PathStep::str(key)}, as_document(self)->generation);
}

// ---- item access ----

PyObject* get_entry(PyObject* self, PyObject* key) {
    auto text = extract_key_str(key);
    QUILLON_TRY(text);
    if (!*text) return fail(non_string_key(key));
    DocumentObject* d = as_document(self);
    auto access = ReadBorrow::take(d->guard);
    QUILLON_TRY(access);
    if (!root_table(d).contains_key(**text)) return fail(missing_key(**text));
    Result<PyRef> item = make_proxy(self, **text);
    QUILLON_TRY(item);
    return item->release();
}

int assign_entry(PyObject* self, PyObject* key, PyObject* value) {
    Result<toml::Item> item = extract_item(value);
    if (!item) return fail(argument_error("value", std::move(item).error()));
    auto text = extract_key_str(key);
    QUILLON_TRY(text);
    if (!*text) return fail(keys_must_be_strings());
    DocumentObject* d = as_document(self);
    auto access = WriteBorrow::take(d->guard);
    QUILLON_TRY(access);
    // Only the root's own lines and the stored item change.
    d->inner.root.edited_through();
    ++d->marked_writes;
    bool existed = root_table(d).contains_key(**text);
    keep_comment_lines_before_replacement(d->inner, d->inner.root, **text, *item);
    set_with_decor_preservation(d->inner.root, **text, std::move(*item));
    if (existed) record_root_key_change(d, **text);
    return 0;
}

int delete_entry(PyObject* self, PyObject* key) {
    auto text = extract_key_str(key);
    QUILLON_TRY(text);
    if (!*text) return fail(non_string_key(key));
    DocumentObject* d = as_document(self);
    auto access = WriteBorrow::take(d->guard);
    QUILLON_TRY(access);
    if (!root_table(d).contains_key(**text)) return fail(missing_key(**text));
    keep_comment_lines_before_removal(d->inner, d->inner.root, **text);
    root_table(d).items.remove(**text);
    record_root_key_change(d, **text);
    return 0;
}

// ---- signatures ----


}  // namespace

PyObject* document_getitem(PyObject* self, PyObject* key) {
    return boundary([&]() -> PyObject* { return get_entry(self, key); });
}

int document_setitem(PyObject* self, PyObject* key, PyObject* value) {
    return boundary<int>(-1, [&]() -> int { return value ? assign_entry(self, key, value) : delete_entry(self, key); });
}

PyObject* document_clear(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kClearSignature, args, nargs, kwnames, a));
        DocumentObject* d = as_document(self);
        auto access = WriteBorrow::take(d->guard);
        QUILLON_TRY(access);
        keep_comment_lines_before_clear(d->inner, d->inner.root);
        root_table(d).clear();
        record_root_change(d);
        Py_RETURN_NONE;
    });
}

PyObject* document_fmt(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kFmtSignature, args, nargs, kwnames, a));
        DocumentObject* d = as_document(self);
        auto access = WriteBorrow::take(d->guard);
        QUILLON_TRY(access);
        root_table(d).fmt();
        Py_RETURN_NONE;
    });
}

PyObject* document_richcompare(PyObject* self, PyObject* other, int op) {
    return boundary([&]() -> PyObject* {
        if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
        if (op == Py_NE) return negated_eq(self, other);
        DocumentObject* d = as_document(self);
        auto access = ReadBorrow::take(d->guard);
        QUILLON_TRY(access);
        if (is_document(other)) {
            DocumentObject* o = as_document(other);
            auto other_access = ReadBorrow::take(o->guard);
            QUILLON_TRY(other_access);
            return PyBool_FromLong(items_structural_eq(d->inner.root, o->inner.root) ? 1 : 0);
        }
        Result<bool> equal = table_eq(root_table(d), other);
        QUILLON_TRY(equal);
        return PyBool_FromLong(*equal ? 1 : 0);
    });
}

}  // namespace quillon
