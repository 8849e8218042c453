#include "classes/item_protocol.hpp"

#include <vector>

#include "classes/fragment_parse.hpp"
#include "classes/list_proxy.hpp"
#include "convert/equality.hpp"
#include "convert/item.hpp"
#include "convert/item_ops.hpp"
#include "edits/comments_on_removal.hpp"
#include "edits/dict_ops.hpp"
#include "edits/list_ops.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/key_errors.hpp"
#include "glue/kinds.hpp"
#include "glue/method_def.hpp"
#include "glue/py_new.hpp"
#include "refs/item_proxy.hpp"

namespace quillon {
namespace {

ItemProxyObject* proxy_of(PyObject* self) { return as_proxy(self); }

// Start, stop and step of a slice; the bounds' own __index__ runs here, before
// any access to the document is taken.
struct SliceBounds {
    Py_ssize_t start = 0, stop = 0, step = 1;

    static Result<SliceBounds> unpack(PyObject* slice) {
        SliceBounds b;
        if (PySlice_Unpack(slice, &b.start, &b.stop, &b.step) < 0) return Error::fetch();
        return b;
    }
    // Clamps the bounds to `length`; returns the number of selected positions.
    size_t adjust(size_t length) {
        return static_cast<size_t>(PySlice_AdjustIndices(static_cast<Py_ssize_t>(length), &start, &stop, step));
    }
    std::vector<size_t> positions() const { return collect_slice_indices(start, stop, step); }
};

// ---- reading a child ----

PyObject* child_list(const ItemRead& ref, SliceBounds bounds) {
    Result<ConstArrayLike> seq = as_array_like(ref.item(), "slicing");
    QUILLON_TRY(seq);
    bounds.adjust(seq->len());
    std::vector<size_t> positions = bounds.positions();
    PyRef list(PyList_New(static_cast<Py_ssize_t>(positions.size())));
    if (!list) return nullptr;
    Py_ssize_t out = 0;
    for (size_t position : positions) {
        Result<PyRef> child = child_proxy_typed(ref.proxy()->doc, ref.proxy()->path, PathStep::index(position));
        QUILLON_TRY(child);
        PyList_SET_ITEM(list.get(), out++, child->release());
    }
    return list.release();
}

PyObject* get_child(PyObject* self, const Subscript& sub, const SliceBounds& bounds) {
    auto ref = ItemRead::open(proxy_of(self));
    QUILLON_TRY(ref);
    const toml::Item& item = ref->item();
    PyObject* doc = ref->proxy()->doc;
    const Path& path = ref->proxy()->path;
    switch (sub.kind) {
        case Subscript::Kind::Str: {
            Result<bool> present = item_has_key(item, sub.text);
            QUILLON_TRY(present);
            if (!*present) return fail(missing_key(sub.text));
            Result<PyRef> child = child_proxy_typed(doc, path, PathStep::str(sub.text));
            QUILLON_TRY(child);
            return child->release();
        }
        case Subscript::Kind::Int: {
            Result<size_t> position = require_array_index(item, sub.index);
            QUILLON_TRY(position);
            Result<PyRef> child = child_proxy_typed(doc, path, PathStep::index(*position));
            QUILLON_TRY(child);
            return child->release();
        }
        case Subscript::Kind::Slice:
            return child_list(*ref, bounds);
        case Subscript::Kind::Other:
            break;
    }
    return fail(invalid_subscript(sub.object.get(), item));
}

// ---- assignment and deletion ----

Status assign_slice(ItemWrite& w, SliceBounds bounds, std::vector<toml::Item> items) {
    Result<ArrayLike> seq = as_array_like_mut(w.item(), "slice assignment");
    QUILLON_TRY(seq);
    const size_t before = seq->len();
    bounds.adjust(before);
    std::vector<size_t> positions = bounds.positions();
    Status done = item_setitem_slice(*seq, bounds.start, bounds.stop, bounds.step, std::move(items));
    if (!done) return done;
    if (seq->len() == before) {
        for (size_t position : positions) w.bump_child(PathStep::index(position));
    } else {
        size_t lowest = static_cast<size_t>(bounds.start);
        for (size_t position : positions) lowest = std::min(lowest, position);
        w.bump_range(lowest, before);
    }
    return ok_status();
}

Status delete_slice(ItemWrite& w, SliceBounds bounds) {
    Result<ArrayLike> seq = as_array_like_mut(w.item(), "slice deletion");
    QUILLON_TRY(seq);
    const size_t before = seq->len();
    bounds.adjust(before);
    std::vector<size_t> positions = bounds.positions();
    if (positions.empty()) return ok_status();
    size_t lowest = positions.front();
    for (size_t position : positions) lowest = std::min(lowest, position);
    keep_comment_lines_before_member_removal(w.document()->inner, w.item(), positions);
    item_delitem_slice(*seq, std::move(positions));
    w.bump_range(lowest, before);
    return ok_status();
}

Status delete_child(PyObject* self, const Subscript& sub, const SliceBounds& bounds) {
    if (sub.kind == Subscript::Kind::Other) {
        // Nothing is written; the message may run the subscript's own repr,
        // which must not find the document borrowed for writing.
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        return invalid_subscript(sub.object.get(), ref->item());
    }
    auto w = ItemWrite::open(proxy_of(self));
    QUILLON_TRY(w);
    switch (sub.kind) {
        case Subscript::Kind::Str: {
            keep_comment_lines_before_removal(w->document()->inner, w->item(), sub.text);
            Result<PathStep> removed = item_delitem_str(w->item(), sub.text);
            QUILLON_TRY(removed);
            w->bump_child(*removed);
            return ok_status();
        }
        case Subscript::Kind::Int: {
            if (Result<size_t> position = require_array_index(w->item(), sub.index)) {
                keep_comment_lines_before_member_removal(w->document()->inner, w->item(), {&*position, 1});
            }
            Result<Affected> affected = item_delitem_int(w->item(), sub.index);
            QUILLON_TRY(affected);
            w->bump_affected(*affected);
            return ok_status();
        }
        case Subscript::Kind::Slice:
            return delete_slice(*w, bounds);
        case Subscript::Kind::Other:
            break;
    }
    return ok_status();
}

Status assign_child(PyObject* self, const Subscript& sub, const SliceBounds& bounds, PyObject* value) {
    if (sub.kind == Subscript::Kind::Other) return invalid_subscript_type(sub.object.get());
    if (sub.kind == Subscript::Kind::Slice) {
        Result<std::vector<toml::Item>> items = extract_items(value);
        QUILLON_TRY(items);
        auto w = ItemWrite::open(proxy_of(self));
        QUILLON_TRY(w);
        return assign_slice(*w, bounds, std::move(*items));
    }
    Result<toml::Item> converted = extract_item(value);
    QUILLON_TRY(converted);
    auto w = ItemWrite::open(proxy_of(self));
    QUILLON_TRY(w);
    if (sub.kind == Subscript::Kind::Str) {
        keep_comment_lines_before_replacement(w->document()->inner, w->item(), sub.text, *converted);
        Result<std::optional<PathStep>> replaced = item_setitem_str(w->item(), sub.text, std::move(*converted));
        QUILLON_TRY(replaced);
        if (*replaced) w->bump_child(**replaced);
        return ok_status();
    }
    Result<PathStep> replaced = item_setitem_int(w->item(), sub.index, std::move(*converted));
    QUILLON_TRY(replaced);
    w->bump_child(*replaced);
    return ok_status();
}

// ---- methods ----

constexpr Signature kAsTomlSignature{"Item.as_toml()", {}};
constexpr Signature kClearSignature{"Item.clear()", {}};
constexpr Signature kFmtSignature{"Item.fmt()", {}};

PyObject* item_as_toml(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kAsTomlSignature, args, nargs, kwnames, a));
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        return new_str(item_toml_text(ref->item()));
    });
}

PyObject* item_clear_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kClearSignature, args, nargs, kwnames, a));
        auto w = ItemWrite::open(proxy_of(self));
        QUILLON_TRY(w);
        keep_comment_lines_before_clear(w->document()->inner, w->item());
        Status cleared = item_clear(w->item());
        QUILLON_TRY(cleared);
        w->bump_self();
        Py_RETURN_NONE;
    });
}

// Shallow normalisation of a table, inline table or array; other kinds are left alone.
void fmt_item(toml::Item& item) {
    if (toml::Table* t = item.as_table()) {
        t->fmt();
    } else if (toml::Value* v = item.as_value()) {
        if (toml::InlineTable* it = v->as_inline_table()) {
            it->fmt();
        } else if (toml::Array* arr = v->as_array()) {
            arr->fmt();
        }
    }
}

PyObject* item_fmt_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kFmtSignature, args, nargs, kwnames, a));
        auto w = ItemWrite::open(proxy_of(self));
        QUILLON_TRY(w);
        fmt_item(w->item());
        Py_RETURN_NONE;
    });
}

PyObject* item_value(PyObject* self, void*) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        Result<PyRef> plain = item_to_py(ref->item());
        QUILLON_TRY(plain);
        return plain->release();
    });
}

constexpr char kParseDoc[] =
    "Parse a TOML value fragment, preserving its representation.\n\n"
    "Use this when you need a specific TOML representation that can't be\n"
    "expressed through plain Python types, e.g. hex integers or literal strings:\n\n"
    "    doc[\"mask\"] = Item.parse(\"0xFF\")\n"
    "    doc[\"msg\"]  = Item.parse(\"'''multi\\nline'''\")";

constexpr char kFmtDoc[] =
    "Normalize formatting of this item (spacing, trailing commas, etc.).\n\n"
    "Useful after mutations that leave behind awkward whitespace.\n"
    "This is shallow - it formats the item itself, not nested sub-tables.\n"
    "Note: any comments on the formatted item will be removed.";

const char kCommentGetDoc[] = "The comment lines before this entry, or None.";
const char kInlineCommentGetDoc[] = "The inline comment after this value (e.g. `key = 1 # this part`), or None.";

constexpr char kAsTomlDoc[] = "Return the TOML representation of this item.";

}  // namespace

PyMethodDef item_static_methods[] = {
    static_method<kItemParseSignature, kParseDoc>(parse_fragment<kItemParse>),
    kMethodsEnd,
};

PyMethodDef item_methods[] = {
    method<kAsTomlSignature, kAsTomlDoc>(item_as_toml),
    method<kClearSignature>(item_clear_method),
    method<kFmtSignature, kFmtDoc>(item_fmt_method),
    kMethodsEnd,
};

PyGetSetDef item_getset[] = {
    {"value", item_value, nullptr, "The underlying data as a native Python object (int, str, list, dict, etc).",
     nullptr},
    {"comment", item_comment_get, item_comment_set, kCommentGetDoc, nullptr},
    {"inline_comment", item_inline_comment_get, item_inline_comment_set, kInlineCommentGetDoc, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyObject* item_getitem_slot(PyObject* self, PyObject* key) {
    return boundary([&]() -> PyObject* {
        Result<Subscript> sub = resolve_subscript_key(key);
        QUILLON_TRY(sub);
        SliceBounds bounds;
        if (sub->kind == Subscript::Kind::Slice) {
            Result<SliceBounds> unpacked = SliceBounds::unpack(sub->object.get());
            QUILLON_TRY(unpacked);
            bounds = *unpacked;
        }
        return get_child(self, *sub, bounds);
    });
}

int item_setitem_slot(PyObject* self, PyObject* key, PyObject* value) {
    return boundary<int>(-1, [&]() -> int {
        Result<Subscript> sub = resolve_subscript_key(key);
        QUILLON_TRY(sub);
        SliceBounds bounds;
        if (sub->kind == Subscript::Kind::Slice) {
            Result<SliceBounds> unpacked = SliceBounds::unpack(sub->object.get());
            QUILLON_TRY(unpacked);
            bounds = *unpacked;
        }
        Status done = value ? assign_child(self, *sub, bounds, value) : delete_child(self, *sub, bounds);
        QUILLON_TRY(done);
        return 0;
    });
}

Py_ssize_t item_len_slot(PyObject* self) {
    return boundary<Py_ssize_t>(-1, [&]() -> Py_ssize_t {
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        std::optional<size_t> n = item_len(ref->item());
        if (!n) {
            return fail(Error::type_error(std::string("TOML ") + kind_word(ref->item()) +
                                               " item has no len() (use .value to get the Python object)"));
        }
        return static_cast<Py_ssize_t>(*n);
    });
}

int item_bool_slot(PyObject* self) {
    return boundary<int>(-1, [&]() -> int {
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        const toml::Item& item = ref->item();
        if (std::optional<size_t> n = item_len(item)) return *n > 0 ? 1 : 0;
        const toml::Value* v = item.as_value();
        if (!v) return 0;  // the empty placeholder
        if (const auto* s = v->as_string()) return s->value.empty() ? 0 : 1;
        if (const auto* i = v->as_integer()) return i->value != 0 ? 1 : 0;
        if (const auto* f = v->as_float()) return f->value != 0.0 ? 1 : 0;  // NaN is true
        if (const auto* b = v->as_boolean()) return b->value ? 1 : 0;
        return 1;  // date-times
    });
}

PyObject* item_iter_slot(PyObject* self) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        auto kind = item_iter_kind(ref->item());
        QUILLON_TRY(kind);
        PyRef list;
        if (auto* keys = std::get_if<std::vector<std::string>>(&*kind)) {
            list = PyRef(PyList_New(static_cast<Py_ssize_t>(keys->size())));
            if (!list) return nullptr;
            for (size_t i = 0; i < keys->size(); ++i) {
                PyObject* key = new_str((*keys)[i]);
                if (!key) return nullptr;
                PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), key);
            }
        } else {
            size_t n = std::get<size_t>(*kind);
            list = PyRef(PyList_New(static_cast<Py_ssize_t>(n)));
            if (!list) return nullptr;
            for (size_t i = 0; i < n; ++i) {
                Result<PyRef> child = child_proxy_typed(ref->proxy()->doc, ref->proxy()->path, PathStep::index(i));
                QUILLON_TRY(child);
                PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), child->release());
            }
        }
        return PyObject_GetIter(list.get());
    });
}

int item_contains_slot(PyObject* self, PyObject* x) {
    return boundary<int>(-1, [&]() -> int {
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        Result<bool> found = item_contains(ref->item(), x);
        QUILLON_TRY(found);
        return *found ? 1 : 0;
    });
}

PyObject* item_str_slot(PyObject* self) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        Result<PyRef> text = item_str(ref->item());
        QUILLON_TRY(text);
        return text->release();
    });
}

PyObject* item_repr_slot(PyObject* self) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        return new_str(item_repr(ref->item()));
    });
}

PyObject* item_richcompare_slot(PyObject* self, PyObject* other, int op) {
    return boundary([&]() -> PyObject* {
        if (!is_item_proxy(self) || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
        if (op == Py_NE) return negated_eq(self, other);
        auto ref = ItemRead::open(proxy_of(self));
        QUILLON_TRY(ref);
        Result<bool> equal = item_eq(ref->item(), other);
        QUILLON_TRY(equal);
        return PyBool_FromLong(*equal ? 1 : 0);
    });
}

}  // namespace quillon
