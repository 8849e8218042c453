// ListItem: the list methods of a reference to an array or an array of
// tables. Each method converts its arguments first, then takes the document
// through the reference (freshness, path), applies the sequence operation and
// records what moved.
#include "classes/list_proxy.hpp"

#include <optional>
#include <utility>

#include "classes/fragment_parse.hpp"
#include "convert/equality.hpp"
#include "convert/item.hpp"
#include "convert/item_ops.hpp"
#include "edits/comments_on_removal.hpp"
#include "edits/list_ops.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/method_def.hpp"
#include "glue/type_factories.hpp"
#include "refs/item_proxy.hpp"

namespace quillon {

Result<std::vector<toml::Item>> extract_items(PyObject* iterable) {
    PyRef it(PyObject_GetIter(iterable));
    if (!it) return Error::fetch();
    std::vector<toml::Item> items;
    while (PyRef element{PyIter_Next(it.get())}) {
        Result<toml::Item> converted = extract_item(element.get());
        QUILLON_TRY(converted);
        items.push_back(std::move(*converted));
    }
    if (PyErr_Occurred()) return Error::fetch();
    return items;
}

Status list_item_extend_with(PyObject* self, PyObject* values) {
    Result<std::vector<toml::Item>> items = extract_items(values);
    QUILLON_TRY(items);
    auto w = ItemWrite::open(as_proxy(self));
    QUILLON_TRY(w);
    Result<ArrayLike> seq = as_array_like_mut(w->item(), "extend()");
    QUILLON_TRY(seq);
    return item_extend(*seq, std::move(*items));
}

namespace {

const char kListItemDoc[] =
    "A TOML array or array of tables.\n\n"
    "``isinstance(item, ListItem)`` and\n"
    "``isinstance(item, MutableSequence)`` both work.";

constexpr char kSetMultilineDoc[] =
    "Format the array as multiline.\n\n"
    "Each element is placed on its own line, indented by *indent*\n"
    "spaces, with a trailing comma after the last element.\n"
    "Use ``.fmt()`` to collapse back to a single line.\n\n"
    "No-op on empty arrays.  Any comments on the array elements will\n"
    "be removed.";


constexpr Param kPopParams[] = {{"index", ParamKind::PositionalOnly, false}};
constexpr Signature kPopSignature{"ListItem.pop()", kPopParams};

constexpr Param kAppendParams[] = {{"value", ParamKind::PositionalOnly, true}};
constexpr Signature kAppendSignature{"ListItem.append()", kAppendParams};

constexpr Param kInsertParams[] = {{"index", ParamKind::PositionalOnly, true},
                                   {"value", ParamKind::PositionalOnly, true}};
constexpr Signature kInsertSignature{"ListItem.insert()", kInsertParams};

constexpr Param kRemoveParams[] = {{"value", ParamKind::PositionalOnly, true}};
constexpr Signature kRemoveSignature{"ListItem.remove()", kRemoveParams};

constexpr Param kExtendParams[] = {{"values", ParamKind::PositionalOnly, true}};
constexpr Signature kExtendSignature{"ListItem.extend()", kExtendParams};

constexpr Param kCountParams[] = {{"value", ParamKind::PositionalOnly, true}};
constexpr Signature kCountSignature{"ListItem.count()", kCountParams};

constexpr Param kIndexParams[] = {{"value", ParamKind::PositionalOnly, true},
                                  {"start", ParamKind::PositionalOnly, false},
                                  {"stop", ParamKind::PositionalOnly, false}};
constexpr Signature kIndexSignature{"ListItem.index()", kIndexParams};

constexpr Param kSetMultilineParams[] = {{"indent", ParamKind::KeywordOnly, false, "4"}};
constexpr Signature kSetMultilineSignature{"ListItem.set_multiline()", kSetMultilineParams};

// A signed 64-bit integer (anything with __index__). The conversion error is
// returned as raised.
Result<int64_t> to_int64(PyObject* obj) {
    PyRef number(PyNumber_Index(obj));
    if (!number) return Error::fetch();
    long long v = PyLong_AsLongLong(number.get());
    if (v == -1 && PyErr_Occurred()) return Error::fetch();
    return static_cast<int64_t>(v);
}

// The same for a named argument: a TypeError names the argument.
Result<int64_t> int64_argument(PyObject* obj, const char* name) {
    Result<int64_t> v = to_int64(obj);
    if (!v) return argument_error(name, std::move(v).error());
    return v;
}

// An optional bound of index(): None or absent means no bound.
Result<std::optional<int64_t>> bound_argument(PyObject* obj, const char* name) {
    if (!obj || obj == Py_None) return std::optional<int64_t>();
    Result<int64_t> v = int64_argument(obj, name);
    QUILLON_TRY(v);
    return std::optional<int64_t>(*v);
}

// Element equality with a Python object: tables of an array of tables by
// table equality, values of an array by value equality.
ElementEquals equals_object(PyObject* needle) {
    return [needle](const toml::Item& element) -> Result<bool> {
        if (const toml::Table* table = element.as_table()) return table_eq(*table, needle);
        if (const toml::Value* value = element.as_value()) return value_eq(*value, needle);
        return false;
    };
}

// pop(index=None, /): the removed element as a plain Python object.
PyObject* list_item_pop(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kPopSignature, args, nargs, kwnames, a));
        std::optional<int64_t> index;
        if (PyObject* given = a.not_none(0)) {
            Result<PyRef> plain = resolve_proxy(given);
            QUILLON_TRY(plain);
            Result<int64_t> converted = to_int64(*plain ? plain->get() : given);
            QUILLON_TRY(converted);
            index = *converted;
        }
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "pop()");
        QUILLON_TRY(seq);
        // The plain copy is made before anything is removed, so that a value
        // Python cannot hold (a date in year 0) leaves the element in place.
        Result<size_t> position = pop_position(*seq, index);
        QUILLON_TRY(position);
        Result<PyRef> plain = item_to_py(seq->is_aot ? seq->aot->values[*position] : seq->array->values[*position]);
        QUILLON_TRY(plain);
        keep_comment_lines_before_member_removal(w->document()->inner, w->item(), {&*position, 1});
        Result<Removed> removed = item_remove_at(*seq, *position);
        QUILLON_TRY(removed);
        w->bump_affected(removed->affected);
        return plain->release();
    });
}

PyObject* list_item_append(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kAppendSignature, args, nargs, kwnames, a));
        Result<toml::Item> item = extract_item(a[0]);
        if (!item) return fail(argument_error("value", std::move(item).error()));
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "append()");
        QUILLON_TRY(seq);
        Status done = item_append(*seq, std::move(*item));
        QUILLON_TRY(done);
        Py_RETURN_NONE;
    });
}

PyObject* list_item_insert(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kInsertSignature, args, nargs, kwnames, a));
        Result<int64_t> index = int64_argument(a[0], "index");
        QUILLON_TRY(index);
        Result<toml::Item> item = extract_item(a[1]);
        if (!item) return fail(argument_error("value", std::move(item).error()));
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "insert()");
        QUILLON_TRY(seq);
        Result<Affected> affected = item_insert(*seq, *index, std::move(*item));
        QUILLON_TRY(affected);
        w->bump_affected(*affected);
        Py_RETURN_NONE;
    });
}

// remove(value, /): a reading pass finds the position (the comparison may run
// Python code), a writing pass removes it.
PyObject* list_item_remove(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kRemoveSignature, args, nargs, kwnames, a));
        size_t position = 0;
        {
            auto ref = ItemRead::open(as_proxy(self));
            QUILLON_TRY(ref);
            Result<ConstArrayLike> seq = as_array_like(ref->item(), "remove()");
            QUILLON_TRY(seq);
            Result<size_t> found = item_index(*seq, equals_object(a[0]), std::nullopt, std::nullopt);
            QUILLON_TRY(found);
            position = *found;
        }
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "remove()");
        QUILLON_TRY(seq);
        keep_comment_lines_before_member_removal(w->document()->inner, w->item(), {&position, 1});
        Result<Removed> removed = item_remove_at(*seq, position);
        QUILLON_TRY(removed);
        w->bump_affected(removed->affected);
        Py_RETURN_NONE;
    });
}

PyObject* list_item_extend(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kExtendSignature, args, nargs, kwnames, a));
        Status done = list_item_extend_with(self, a[0]);
        QUILLON_TRY(done);
        Py_RETURN_NONE;
    });
}

PyObject* list_item_count(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kCountSignature, args, nargs, kwnames, a));
        auto ref = ItemRead::open(as_proxy(self));
        QUILLON_TRY(ref);
        Result<ConstArrayLike> seq = as_array_like(ref->item(), "count()");
        QUILLON_TRY(seq);
        Result<size_t> count = item_count(*seq, equals_object(a[0]));
        QUILLON_TRY(count);
        return PyLong_FromSize_t(*count);
    });
}

PyObject* list_item_index(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kIndexSignature, args, nargs, kwnames, a));
        Result<std::optional<int64_t>> start = bound_argument(a[1], "start");
        QUILLON_TRY(start);
        Result<std::optional<int64_t>> stop = bound_argument(a[2], "stop");
        QUILLON_TRY(stop);
        auto ref = ItemRead::open(as_proxy(self));
        QUILLON_TRY(ref);
        Result<ConstArrayLike> seq = as_array_like(ref->item(), "index()");
        QUILLON_TRY(seq);
        Result<size_t> found = item_index(*seq, equals_object(a[0]), *start, *stop);
        QUILLON_TRY(found);
        return PyLong_FromSize_t(*found);
    });
}

PyObject* list_item_set_multiline(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kSetMultilineSignature, args, nargs, kwnames, a));
        size_t indent = 4;
        if (a.given(0)) {
            PyRef number(PyNumber_Index(a[0]));
            if (!number) return fail(argument_error("indent", Error::fetch()));
            indent = PyLong_AsSize_t(number.get());
            if (indent == static_cast<size_t>(-1) && PyErr_Occurred()) {
                return fail(argument_error("indent", Error::fetch()));
            }
        }
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "set_multiline()");
        QUILLON_TRY(seq);
        item_set_multiline(*seq, indent);
        Py_RETURN_NONE;
    });
}

PyMethodDef list_item_methods[] = {
    method<kPopSignature>(list_item_pop),
    method<kAppendSignature>(list_item_append),
    method<kInsertSignature>(list_item_insert),
    method<kRemoveSignature>(list_item_remove),
    method<kExtendSignature>(list_item_extend),
    method<kCountSignature>(list_item_count),
    method<kIndexSignature>(list_item_index),
    method<kSetMultilineSignature, kSetMultilineDoc>(list_item_set_multiline),
    kMethodsEnd,
};

PyType_Slot list_item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kListItemDoc)},
    {Py_tp_methods, list_item_methods},
    {Py_nb_add, reinterpret_cast<void*>(list_item_add)},
    {Py_nb_multiply, reinterpret_cast<void*>(list_item_multiply)},
    {Py_nb_inplace_add, reinterpret_cast<void*>(list_item_inplace_add)},
    {Py_nb_inplace_multiply, reinterpret_cast<void*>(list_item_inplace_multiply)},
    {0, nullptr},
};

// Same layout as Item: the base's size and deallocation are inherited.
PyType_Spec list_item_spec = {
    "quillon.ListItem", 0, 0, Py_TPFLAGS_DEFAULT | kNoConstructorFlag, list_item_slots,
};

PyMethodDef list_item_static_methods[] = {
    static_method<kListItemParseSignature>(parse_fragment<kListItemParse>),
    kMethodsEnd,
};

}  // namespace

PyObject* create_list_item_type(PyObject* module, PyObject* item_type) {
    PyRef type(PyType_FromModuleAndSpec(module, &list_item_spec, item_type));
    if (!type || add_static_methods(type.get(), module, list_item_static_methods) < 0) return nullptr;
    disallow_instantiation(type.get());
    return type.release();
}

}  // namespace quillon
