#include <optional>
#include <string>

#include "args.hpp"
#include "boundary.hpp"
#include "comments_on_removal.hpp"
#include "dict_ops.hpp"
#include "dict_update.hpp"
#include "document.hpp"
#include "document_members.hpp"
#include "equality.hpp"
#include "item.hpp"
#include "item_ops.hpp"
#include "item_proxy.hpp"
#include "key_errors.hpp"
#include "paths.hpp"
#include "py_new.hpp"
#include "raise.hpp"
#include "visible_entries.hpp"

namespace quillon {
namespace {

toml::Table& root_table(DocumentObject* d) { return d->inner.root_table(); }

// The narrowed Item for root key `key`, stamped with the current clock.
Result<PyRef> make_proxy(PyObject* self, const std::string& key) {
    return into_typed(self, Path{Key::str(key)}, as_document(self)->generation);
}

// ---- item access ----

PyObject* get_entry(PyObject* self, PyObject* key) {
    auto text = extract_key_str(key);
    if (!text) return raise_obj(std::move(text).error());
    if (!*text) return raise_obj(non_string_key(key));
    DocumentObject* d = as_document(self);
    auto access = ReadBorrow::take(d->guard);
    if (!access) return raise_obj(std::move(access).error());
    if (!root_table(d).contains_key(**text)) return raise_obj(missing_key(**text));
    Result<PyRef> item = make_proxy(self, **text);
    if (!item) return raise_obj(std::move(item).error());
    return item->release();
}

int assign_entry(PyObject* self, PyObject* key, PyObject* value) {
    Result<toml::Item> item = extract_item(value);
    if (!item) return raise_int(argument_error("value", std::move(item).error()));
    auto text = extract_key_str(key);
    if (!text) return raise_int(std::move(text).error());
    if (!*text) return raise_int(keys_must_be_strings());
    DocumentObject* d = as_document(self);
    auto access = WriteBorrow::take(d->guard);
    if (!access) return raise_int(std::move(access).error());
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
    if (!text) return raise_int(std::move(text).error());
    if (!*text) return raise_int(non_string_key(key));
    DocumentObject* d = as_document(self);
    auto access = WriteBorrow::take(d->guard);
    if (!access) return raise_int(std::move(access).error());
    if (!root_table(d).contains_key(**text)) return raise_int(missing_key(**text));
    keep_comment_lines_before_removal(d->inner, d->inner.root, **text);
    root_table(d).items.remove(**text);
    record_root_key_change(d, **text);
    return 0;
}

// ---- signatures ----

constexpr Param kGetParams[] = {{"key", ParamKind::PositionalOnly, true},
                                {"default", ParamKind::PositionalOnly, false}};
constexpr Signature kGetSignature{"Document.get()", kGetParams};

constexpr Param kPopParams[] = {{"key", ParamKind::PositionalOnly, true}};
constexpr Signature kPopSignature{"Document.pop()", kPopParams, /*var_positional=*/true};

constexpr Signature kPopitemSignature{"Document.popitem()", {}};

constexpr Param kSetdefaultParams[] = {{"key", ParamKind::PositionalOnly, true},
                                       {"default", ParamKind::PositionalOnly, false}};
constexpr Signature kSetdefaultSignature{"Document.setdefault()", kSetdefaultParams};

constexpr Param kUpdateParams[] = {{"other", ParamKind::PositionalOnly, false}};
constexpr Signature kUpdateSignature{"Document.update()", kUpdateParams, /*var_positional=*/false,
                                     /*var_keyword=*/true};

constexpr Signature kClearSignature{"Document.clear()", {}};
constexpr Signature kFmtSignature{"Document.fmt()", {}};

// ---- update ----

// update(other, **kwargs): every argument is converted before the document is
// borrowed for writing; each overwritten key is stamped, in write order.
Status update_document(PyObject* self, PyObject* other, PyObject* kwargs) {
    DocumentObject* d = as_document(self);
    Result<PendingUpdate> pending = PendingUpdate::prepare(other, kwargs, d);
    if (!pending) return std::move(pending).error();
    auto access = WriteBorrow::take(d->guard);
    if (!access) return std::move(access).error();
    Result<ReplacedKeys> replaced = std::move(*pending).apply(d->inner.root, &d->inner);
    if (!replaced) return std::move(replaced).error();
    for (const std::string& key : *replaced) record_root_key_change(d, key);
    return ok_status();
}

// ---- merge operators ----

// doc | other: a new Document holding a copy of doc with other merged in.
PyObject* merged_copy(PyObject* self, PyObject* other) {
    if (!is_mapping_like(other)) Py_RETURN_NOTIMPLEMENTED;
    DocumentObject* d = as_document(self);
    toml::DocumentMut copy;
    {
        auto access = ReadBorrow::take(d->guard);
        if (!access) return raise_obj(std::move(access).error());
        copy = d->inner;
    }
    Result<ReplacedKeys> merged = merge_other_into(copy.root, other, &copy);
    if (!merged) return raise_obj(std::move(merged).error());
    return document_from_inner(d->state, std::move(copy));
}

// other | doc: a plain dict of other's entries overwritten by doc's values.
PyObject* merged_dict(PyObject* other, PyObject* self) {
    if (!is_mapping_like(other)) Py_RETURN_NOTIMPLEMENTED;
    DocumentObject* d = as_document(self);
    Result<PyRef> result = copy_mapping_updated(other, [&]() -> Result<PyRef> {
        auto access = ReadBorrow::take(d->guard);
        if (!access) return std::move(access).error();
        return table_to_pydict(root_table(d).items);
    });
    if (!result) return raise_obj(std::move(result).error());
    return result->release();
}

}  // namespace

PyObject* document_getitem(PyObject* self, PyObject* key) {
    return boundary([&]() -> PyObject* { return get_entry(self, key); });
}

int document_setitem(PyObject* self, PyObject* key, PyObject* value) {
    return boundary<int>(-1, [&]() -> int { return value ? assign_entry(self, key, value) : delete_entry(self, key); });
}

PyObject* document_get(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kGetSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        PyObject* fallback = a.given(1) ? a[1] : Py_None;
        auto text = extract_key_str(a[0]);
        if (!text) return raise_obj(std::move(text).error());
        if (!*text) return Py_NewRef(fallback);
        DocumentObject* d = as_document(self);
        auto access = ReadBorrow::take(d->guard);
        if (!access) return raise_obj(std::move(access).error());
        if (!root_table(d).contains_key(**text)) return Py_NewRef(fallback);
        Result<PyRef> item = make_proxy(self, **text);
        if (!item) return raise_obj(std::move(item).error());
        return item->release();
    });
}

PyObject* document_pop(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kPopSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        PyObject* first_extra = a.var_positional.empty() ? nullptr : a.var_positional[0];
        Result<PyObject*> fallback = extract_pop_default(a.var_positional.size(), first_extra);
        if (!fallback) return raise_obj(std::move(fallback).error());
        auto text = extract_key_str(a[0]);
        if (!text) return raise_obj(std::move(text).error());
        if (!*text) return *fallback ? Py_NewRef(*fallback) : raise_obj(non_string_key(a[0]));
        DocumentObject* d = as_document(self);
        // The plain value is made before the entry goes, so a value Python
        // cannot hold (year 0, a leap second) fails with the document unchanged.
        bool missing = false;
        Result<PyRef> removed = [&]() -> Result<PyRef> {
            auto access = WriteBorrow::take(d->guard);
            if (!access) return std::move(access).error();
            const toml::Item* entry = root_table(d).items.get(**text);
            if (!entry) {
                missing = true;
                return missing_key(**text);
            }
            Result<PyRef> plain = item_to_py(*entry);
            if (!plain) return plain;
            keep_comment_lines_before_removal(d->inner, d->inner.root, **text);
            root_table(d).items.remove(**text);
            record_root_key_change(d, **text);
            return plain;
        }();
        if (!removed) {
            if (missing && *fallback) return Py_NewRef(*fallback);
            return raise_obj(std::move(removed).error());
        }
        return removed->release();
    });
}

PyObject* document_popitem(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kPopitemSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        DocumentObject* d = as_document(self);
        Result<std::pair<std::string, PyRef>> popped = [&]() -> Result<std::pair<std::string, PyRef>> {
            auto access = WriteBorrow::take(d->guard);
            if (!access) return std::move(access).error();
            // Converted before removal, as in pop().
            const toml::Entry* last = last_visible_entry(root_table(d).items);
            PyRef plain;
            if (last) {
                Result<PyRef> converted = item_to_py(last->item);
                if (!converted) return std::move(converted).error();
                plain = std::move(*converted);
            }
            keep_comment_lines_before_popitem(d->inner, d->inner.root);
            auto taken = item_popitem(d->inner.root);
            if (!taken) return std::move(taken).error();
            record_root_key_change(d, taken->first);
            return std::pair<std::string, PyRef>(std::move(taken->first), std::move(plain));
        }();
        if (!popped) return raise_obj(std::move(popped).error());
        PyRef key(new_str(popped->first));
        if (!key) return nullptr;
        PyRef value = std::move(popped->second);
        return PyTuple_Pack(2, key.get(), value.get());
    });
}

PyObject* document_setdefault(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kSetdefaultSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        std::optional<toml::Item> fallback;
        if (PyObject* given = a.not_none(1)) {
            Result<toml::Item> converted = extract_item(given);
            if (!converted) return raise_obj(argument_error("default", std::move(converted).error()));
            fallback.emplace(std::move(*converted));
        }
        auto text = extract_key_str(a[0]);
        if (!text) return raise_obj(std::move(text).error());
        if (!*text) return raise_obj(keys_must_be_strings());
        DocumentObject* d = as_document(self);
        auto access = WriteBorrow::take(d->guard);
        if (!access) return raise_obj(std::move(access).error());
        if (!root_table(d).contains_key(**text)) {
            if (!fallback) {
                return raise_obj(Error::type_error("setdefault() requires a default value: TOML has no null type"));
            }
            set_with_decor_preservation(d->inner.root, **text, std::move(*fallback));
        }
        Result<PyRef> item = make_proxy(self, **text);
        if (!item) return raise_obj(std::move(item).error());
        return item->release();
    });
}

PyObject* document_update(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kUpdateSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        Status done = update_document(self, a[0], a.var_keyword.get());
        if (!done) return raise_obj(std::move(done).error());
        Py_RETURN_NONE;
    });
}

PyObject* document_clear(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kClearSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        DocumentObject* d = as_document(self);
        auto access = WriteBorrow::take(d->guard);
        if (!access) return raise_obj(std::move(access).error());
        keep_comment_lines_before_clear(d->inner, d->inner.root);
        root_table(d).clear();
        record_root_change(d);
        Py_RETURN_NONE;
    });
}

PyObject* document_fmt(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kFmtSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        DocumentObject* d = as_document(self);
        auto access = WriteBorrow::take(d->guard);
        if (!access) return raise_obj(std::move(access).error());
        root_table(d).fmt();
        Py_RETURN_NONE;
    });
}

PyObject* document_or(PyObject* left, PyObject* right) {
    return boundary([&]() -> PyObject* {
        if (is_document(left)) return merged_copy(left, right);
        if (is_document(right)) return merged_dict(left, right);
        Py_RETURN_NOTIMPLEMENTED;
    });
}

PyObject* document_ior(PyObject* self, PyObject* other) {
    return boundary([&]() -> PyObject* {
        if (!is_document(self)) Py_RETURN_NOTIMPLEMENTED;
        Status done = update_document(self, other, nullptr);
        if (!done) return raise_obj(std::move(done).error());
        return Py_NewRef(self);
    });
}

PyObject* document_richcompare(PyObject* self, PyObject* other, int op) {
    return boundary([&]() -> PyObject* {
        if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
        if (op == Py_NE) return negated_eq(self, other);
        DocumentObject* d = as_document(self);
        auto access = ReadBorrow::take(d->guard);
        if (!access) return raise_obj(std::move(access).error());
        if (is_document(other)) {
            DocumentObject* o = as_document(other);
            auto other_access = ReadBorrow::take(o->guard);
            if (!other_access) return raise_obj(std::move(other_access).error());
            return PyBool_FromLong(items_structural_eq(d->inner.root, o->inner.root) ? 1 : 0);
        }
        Result<bool> equal = table_eq(root_table(d), other);
        if (!equal) return raise_obj(std::move(equal).error());
        return PyBool_FromLong(*equal ? 1 : 0);
    });
}

}  // namespace quillon
