#include "edits/dict_update.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "convert/item.hpp"
#include "convert/value.hpp"
#include "glue/key_errors.hpp"
#include "glue/py_iterate.hpp"
#include "glue/py_pairs.hpp"
#include "refs/borrow.hpp"
#include "refs/item_proxy.hpp"
#include "refs/nesting_guard.hpp"
#include "refs/paths.hpp"

namespace quillon {

namespace {

// Calls `fn(key, value)` for each entry of a dict in order, holding both
// while `fn` runs. Like dict iteration, stops when the dict was resized, or
// yields more entries than it had, through code that `fn` ran.
template <class Fn>
Status walk_dict(PyObject* d, Fn&& fn) {
    const Py_ssize_t size = PyDict_GET_SIZE(d);
    Py_ssize_t remaining = size;
    Py_ssize_t pos = 0;
    PyObject *k = nullptr, *v = nullptr;
    for (;;) {
        if (PyDict_GET_SIZE(d) != size) return Error::runtime_error("dictionary changed size during iteration");
        if (!PyDict_Next(d, &pos, &k, &v)) break;
        if (remaining-- == 0) return Error::runtime_error("dictionary keys changed during iteration");
        PyRef key = PyRef::borrow(k), value = PyRef::borrow(v);
        Status st = fn(key.get(), value.get());
        if (!st) return st;
    }
    return ok_status();
}

// Appends (key text, extract_item(value)) to `pairs`.
Status push_pair(UpdatePairs& pairs, PyObject* key, PyObject* value) {
    auto text = extract_key_str(key);
    QUILLON_TRY(text);
    if (!*text) return keys_must_be_strings();
    auto item = extract_item(value);
    QUILLON_TRY(item);
    pairs.emplace_back(std::move(**text), std::move(*item));
    return ok_status();
}

// Stores `value` in `dict` under the key text when `key` is a string key,
// else under `key` itself.
Status store_copied_entry(PyObject* dict, PyObject* key, PyObject* value) {
    PyRef stored_key;
    if (PyUnicode_CheckExact(key)) {
        stored_key = PyRef::borrow(key);
    } else {
        auto text = extract_key_str(key);
        QUILLON_TRY(text);
        if (*text) {
            stored_key.reset(PyUnicode_FromStringAndSize((*text)->data(), static_cast<Py_ssize_t>((*text)->size())));
            if (!stored_key) return Error::fetch();
        } else {
            stored_key = PyRef::borrow(key);
        }
    }
    if (PyDict_SetItem(dict, stored_key.get(), value) < 0) return Error::fetch();
    return ok_status();
}

// The entries of `source` are about to be written one level below the place
// that receives them.
Status note_merged_entries(const toml::Item& source) {
    return note_copied_height(std::max(toml::nesting_height(source) - 1, 0));
}

// Read borrow of another document and the item at `path` in it.
Result<ReplacedKeys> merge_from_document(toml::Item& target, DocumentObject* doc, const Path& path,
                                         std::optional<uint64_t> generation = std::nullopt,
                                         toml::DocumentMut* target_doc = nullptr) {
    auto access = ReadBorrow::take(doc->guard);
    QUILLON_TRY(access);
    if (generation) {
        Status fresh = check_fresh(doc, path, *generation);
        QUILLON_TRY(fresh);
    }
    auto source = navigate_path(doc->inner.root, path);
    QUILLON_TRY(source);
    Status fits = note_merged_entries(**source);
    QUILLON_TRY(fits);
    return merge_table_entries(target, **source, target_doc);
}

}  // namespace

bool is_mapping_like(PyObject* obj) {
    if (PyDict_Check(obj) || is_instance_of(obj, &ModuleState::dict_item) || is_document(obj))
        return true;
    // Exact built-in types that are never mappings spare the abc lookup.
    if (PyUnicode_CheckExact(obj) || PyLong_CheckExact(obj) || PyFloat_CheckExact(obj) || PyBool_Check(obj) ||
        obj == Py_None || PyList_CheckExact(obj) || PyTuple_CheckExact(obj))
        return false;
    PyRef mapping_class = mapping_abc();
    int r = mapping_class ? PyObject_IsInstance(obj, mapping_class.get()) : -1;
    if (r < 0) {
        PyErr_Clear();
        return false;
    }
    return r == 1;
}

Result<UpdatePairs> dict_to_pairs(PyObject* dict) {
    UpdatePairs pairs;
    pairs.reserve(static_cast<size_t>(PyDict_GET_SIZE(dict)));
    Status st = walk_dict(dict, [&](PyObject* key, PyObject* value) { return push_pair(pairs, key, value); });
    QUILLON_TRY(st);
    return pairs;
}

Result<UpdatePairs> extract_update_pairs(PyObject* other) {
    if (PyDict_Check(other)) return dict_to_pairs(other);
    PyRef source = PyRef::borrow(other);
    if (is_mapping_like(other)) {
        source.reset(PyObject_CallMethod(other, "items", nullptr));
        if (!source) return Error::fetch();
    }
    UpdatePairs pairs;
    Status st = walk_iterable(source.get(), [&](PyObject* element) -> Status {
        auto pair = extract_pair(element);
        QUILLON_TRY(pair);
        return push_pair(pairs, pair->first.get(), pair->second.get());
    });
    QUILLON_TRY(st);
    return pairs;
}

Result<ReplacedKeys> ResolvedUpdate::apply(toml::Item& target, toml::DocumentMut* doc) && {
    if (auto* pairs = std::get_if<UpdatePairs>(&source)) return apply_update_pairs(target, std::move(*pairs), doc);
    TomlSource& toml_source = std::get<TomlSource>(source);
    if (auto* owned = std::get_if<toml::Item>(&toml_source)) return merge_table_entries(target, *owned, doc);
    const DocumentRef& ref = std::get<DocumentRef>(toml_source);
    return merge_from_document(target, as_document(ref.document.get()), ref.path, ref.generation, doc);
}

Result<PendingUpdate> PendingUpdate::prepare(PyObject* other, PyObject* kwargs, DocumentObject* target_document) {
    PendingUpdate pending;
    if (other && other != Py_None) {
        Result<ResolvedUpdate> resolved = resolve_update(other, target_document);
        QUILLON_TRY(resolved);
        pending.other.emplace(std::move(*resolved));
    }
    if (kwargs) {
        Result<UpdatePairs> pairs = dict_to_pairs(kwargs);
        QUILLON_TRY(pairs);
        pending.keywords = std::move(*pairs);
    }
    return pending;
}

Result<ReplacedKeys> PendingUpdate::apply(toml::Item& target, toml::DocumentMut* doc) && {
    ReplacedKeys replaced;
    if (other) {
        Result<ReplacedKeys> applied = std::move(*other).apply(target, doc);
        QUILLON_TRY(applied);
        replaced = std::move(*applied);
    }
    if (!keywords.empty()) {
        ReplacedKeys more = apply_update_pairs(target, std::move(keywords), doc);
        replaced.insert(replaced.end(), more.begin(), more.end());
    }
    return replaced;
}

Result<ResolvedUpdate> resolve_update(PyObject* other, DocumentObject* target_document) {
    PyObject* target_doc = reinterpret_cast<PyObject*>(target_document);
    if (is_item_proxy(other)) {
        ItemProxyObject* proxy = as_proxy(other);
        if (proxy->doc == target_doc) {
            auto ref = ReferencedItem::open(proxy);
            QUILLON_TRY(ref);
            Status fits = note_merged_entries(ref->item());
            QUILLON_TRY(fits);
            return ResolvedUpdate{TomlSource(ref->item())};
        }
        DocumentObject* doc = proxy->document();
        auto access = ReadBorrow::take(doc->guard);
        QUILLON_TRY(access);
        auto found = resolve_fresh(doc, proxy->path, proxy->generation);
        QUILLON_TRY(found);
        Status fits = note_merged_entries(**found);
        QUILLON_TRY(fits);
        return ResolvedUpdate{TomlSource(DocumentRef{PyRef::borrow(proxy->doc), proxy->path, proxy->generation})};
    }
    if (is_document(other)) {
        if (other == target_doc) {
            auto root = copy_document_root(target_document);
            QUILLON_TRY(root);
            toml::Item copy(std::move(*root));
            Status fits = note_merged_entries(copy);
            QUILLON_TRY(fits);
            return ResolvedUpdate{TomlSource(std::move(copy))};
        }
        {
            DocumentObject* doc = as_document(other);
            auto access = ReadBorrow::take(doc->guard);
            QUILLON_TRY(access);
            Status fits = note_merged_entries(doc->inner.root);
            QUILLON_TRY(fits);
        }
        return ResolvedUpdate{TomlSource(DocumentRef{PyRef::borrow(other), Path(), std::nullopt})};
    }
    auto pairs = extract_update_pairs(other);
    QUILLON_TRY(pairs);
    return ResolvedUpdate{std::move(*pairs)};
}

Result<ReplacedKeys> merge_other_into(toml::Item& target, PyObject* other, toml::DocumentMut* doc) {
    if (is_item_proxy(other)) {
        auto ref = ReferencedItem::open(as_proxy(other));
        QUILLON_TRY(ref);
        Status fits = note_merged_entries(ref->item());
        QUILLON_TRY(fits);
        return merge_table_entries(target, ref->item(), doc);
    }
    if (is_document(other)) {
        return merge_from_document(target, as_document(other), Path(), std::nullopt, doc);
    }
    auto pairs = extract_update_pairs(other);
    QUILLON_TRY(pairs);
    return apply_update_pairs(target, std::move(*pairs), doc);
}

Result<PyRef> copy_mapping_to_pydict(PyObject* mapping) {
    PyRef result(PyDict_New());
    if (!result) return Error::fetch();
    Status st = ok_status();
    if (PyDict_Check(mapping)) {
        st = walk_dict(mapping, [&](PyObject* key, PyObject* value) {
            return store_copied_entry(result.get(), key, value);
        });
    } else {
        PyRef items(PyObject_CallMethod(mapping, "items", nullptr));
        if (!items) return Error::fetch();
        st = walk_iterable(items.get(), [&](PyObject* element) -> Status {
            auto pair = extract_pair(element);
            QUILLON_TRY(pair);
            return store_copied_entry(result.get(), pair->first.get(), pair->second.get());
        });
    }
    QUILLON_TRY(st);
    return result;
}

}  // namespace quillon
