// The DictItem members that change a table: pop, popitem, update, setdefault
// and the merge operators.
#include <optional>
#include <string>
#include <utility>

#include "args.hpp"
#include "boundary.hpp"
#include "comments_on_removal.hpp"
#include "dict_ops.hpp"
#include "dict_proxy.hpp"
#include "dict_update.hpp"
#include "item.hpp"
#include "item_ops.hpp"
#include "item_proxy.hpp"
#include "key_errors.hpp"
#include "paths.hpp"
#include "py_new.hpp"
#include "raise.hpp"
#include "nesting_guard.hpp"
#include "visible_entries.hpp"

namespace quillon {
namespace {

bool is_dict_item(PyObject* obj) { return is_instance_of(obj, &ModuleState::dict_item); }

// The plain value of an entry about to be removed. It is made before the
// removal, so that a value Python cannot represent (a date in year 0) leaves
// the entry where it was.
Result<PyRef> plain_copy(const toml::Item& entry) { return item_to_py(entry); }

// The last visible entry of a table-like item: the one popitem removes.
const toml::Item* last_visible_item(const toml::Item& item) {
    const toml::EntryMap* items = item.table_like();
    const toml::Entry* last = items ? last_visible_entry(*items) : nullptr;
    return last ? &last->item : nullptr;
}

constexpr Param kPopParams[] = {{"key", ParamKind::PositionalOnly, true}};
constexpr Signature kPopSignature{"DictItem.pop()", kPopParams, /*var_positional=*/true};

constexpr Signature kPopitemSignature{"DictItem.popitem()", {}};

constexpr Param kSetdefaultParams[] = {{"key", ParamKind::PositionalOnly, true},
                                       {"default", ParamKind::PositionalOnly, false}};
constexpr Signature kSetdefaultSignature{"DictItem.setdefault()", kSetdefaultParams};

constexpr Param kUpdateParams[] = {{"other", ParamKind::PositionalOnly, false}};
constexpr Signature kUpdateSignature{"DictItem.update()", kUpdateParams, /*var_positional=*/false,
                                     /*var_keyword=*/true};

// update(other, **kwargs): every argument is converted before the document is
// borrowed for writing; each overwritten key is stamped, in write order.
Status update_table(PyObject* self, PyObject* other, PyObject* kwargs) {
    ItemProxyObject* proxy = as_proxy(self);
    Result<PendingUpdate> pending = PendingUpdate::prepare(other, kwargs, proxy->document());
    if (!pending) return std::move(pending).error();
    auto w = ItemWrite::open(proxy);
    if (!w) return std::move(w).error();
    Result<ReplacedKeys> replaced = std::move(*pending).apply(w->item(), &w->document()->inner);
    if (!replaced) return std::move(replaced).error();
    for (std::string& key : *replaced) w->bump_child(Key::str(std::move(key)));
    return ok_status();
}

// d | other: a copy of d's table, with other merged in, placed under "_" of a
// new private document.
PyObject* merged_copy(PyObject* self, PyObject* other) {
    if (!is_mapping_like(other)) Py_RETURN_NOTIMPLEMENTED;
    toml::DocumentMut model;
    {
        auto ref = ItemRead::open(as_proxy(self));
        if (!ref) return raise_obj(std::move(ref).error());
        model.root_table().items.push_back(toml::Key("_"), ref->item());
    }
    toml::Item& copy = *model.root_table().items.get("_");
    Result<ReplacedKeys> merged = merge_other_into(copy, other, &model);
    if (!merged) return raise_obj(std::move(merged).error());
    // What came from `other` lies below "_".
    Status fits = admit_incoming(1);
    if (!fits) return raise_obj(std::move(fits).error());
    PyRef doc(document_from_inner(as_proxy(self)->state(), std::move(model)));
    if (!doc) return nullptr;
    Result<PyRef> typed = into_typed(doc.get(), Path{Key::str("_")}, 0);
    if (!typed) return raise_obj(std::move(typed).error());
    return typed->release();
}

// other | d: a plain dict of other's entries, overwritten by d's values.
PyObject* merged_dict(PyObject* other, PyObject* self) {
    if (!is_mapping_like(other)) Py_RETURN_NOTIMPLEMENTED;
    Result<PyRef> result = copy_mapping_updated(other, [&]() -> Result<PyRef> {
        auto ref = ItemRead::open(as_proxy(self));
        if (!ref) return std::move(ref).error();
        const toml::EntryMap* items = ref->item().table_like();
        if (!items) return unsupported_op(ref->item(), "|");
        return table_to_pydict(*items);
    });
    if (!result) return raise_obj(std::move(result).error());
    return result->release();
}

}  // namespace

// pop(key, /, *default): the removed value as a plain object. A missing key
// gives the default when one was given; other errors are raised regardless.
PyObject* dict_item_pop(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kPopSignature, args, nargs, kwnames, a); !st) {
            return raise_obj(std::move(st).error());
        }
        PyObject* first_extra = a.var_positional.empty() ? nullptr : a.var_positional[0];
        Result<PyObject*> fallback = extract_pop_default(a.var_positional.size(), first_extra);
        if (!fallback) return raise_obj(std::move(fallback).error());
        auto text = extract_key_str(a[0]);
        if (!text) return raise_obj(std::move(text).error());
        if (!*text) return *fallback ? Py_NewRef(*fallback) : raise_obj(non_string_key(a[0]));
        bool missing = false;  // only a missing key gives way to the default
        Result<PyRef> removed = [&]() -> Result<PyRef> {
            auto w = ItemWrite::open(as_proxy(self));
            if (!w) return std::move(w).error();
            PyRef plain;
            if (const toml::Item* entry = w->item().get(**text)) {
                Result<PyRef> converted = plain_copy(*entry);
                if (!converted) return std::move(converted).error();
                plain = std::move(*converted);
            }
            keep_comment_lines_before_removal(w->document()->inner, w->item(), **text);
            auto taken = table_pop(w->item(), **text);
            if (!taken) {
                missing = taken.error().is(PyExc_KeyError);
                return std::move(taken).error();
            }
            keep_emptied_table_visible(w->item());
            w->bump_child(Key::str(std::move(taken->second)));
            return plain;
        }();
        if (!removed) {
            if (*fallback && missing) return Py_NewRef(*fallback);
            return raise_obj(std::move(removed).error());
        }
        return removed->release();
    });
}

// popitem(): the last entry, removed, as (key, plain value).
PyObject* dict_item_popitem(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kPopitemSignature, args, nargs, kwnames, a); !st) {
            return raise_obj(std::move(st).error());
        }
        Result<std::pair<std::string, PyRef>> popped = [&]() -> Result<std::pair<std::string, PyRef>> {
            auto w = ItemWrite::open(as_proxy(self));
            if (!w) return std::move(w).error();
            PyRef plain;
            if (const toml::Item* last = last_visible_item(w->item())) {
                Result<PyRef> converted = plain_copy(*last);
                if (!converted) return std::move(converted).error();
                plain = std::move(*converted);
            }
            keep_comment_lines_before_popitem(w->document()->inner, w->item());
            auto taken = item_popitem(w->item());
            if (!taken) return std::move(taken).error();
            keep_emptied_table_visible(w->item());
            w->bump_child(Key::str(taken->first));
            return std::pair<std::string, PyRef>(std::move(taken->first), std::move(plain));
        }();
        if (!popped) return raise_obj(std::move(popped).error());
        PyRef key(new_str(popped->first));
        if (!key) return nullptr;
        return PyTuple_Pack(2, key.get(), popped->second.get());
    });
}

// setdefault(key, default=None, /): the child Item, after writing the default
// when the key is absent. The default is converted first in every case.
PyObject* dict_item_setdefault(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kSetdefaultSignature, args, nargs, kwnames, a); !st) {
            return raise_obj(std::move(st).error());
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
        auto w = ItemWrite::open(as_proxy(self));
        if (!w) return raise_obj(std::move(w).error());
        Result<bool> present = item_has_key(w->item(), **text);
        if (!present) return raise_obj(std::move(present).error());
        if (!*present) {
            if (!fallback) {
                return raise_obj(Error::type_error("setdefault() requires a default value: TOML has no null type"));
            }
            set_with_decor_preservation(w->item(), **text, std::move(*fallback));
        }
        Result<PyRef> child = child_proxy_typed(w->proxy()->doc, w->proxy()->path, Key::str(**text));
        if (!child) return raise_obj(std::move(child).error());
        return child->release();
    });
}

PyObject* dict_item_update(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kUpdateSignature, args, nargs, kwnames, a); !st) {
            return raise_obj(std::move(st).error());
        }
        Status done = update_table(self, a[0], a.var_keyword.get());
        if (!done) return raise_obj(std::move(done).error());
        Py_RETURN_NONE;
    });
}

PyObject* dict_item_or(PyObject* left, PyObject* right) {
    return boundary([&]() -> PyObject* {
        if (is_dict_item(left)) return merged_copy(left, right);
        if (is_dict_item(right)) return merged_dict(left, right);
        Py_RETURN_NOTIMPLEMENTED;
    });
}

PyObject* dict_item_ior(PyObject* self, PyObject* other) {
    return boundary([&]() -> PyObject* {
        if (!is_dict_item(self)) Py_RETURN_NOTIMPLEMENTED;
        Status done = update_table(self, other, nullptr);
        if (!done) return raise_obj(std::move(done).error());
        return Py_NewRef(self);
    });
}

}  // namespace quillon
