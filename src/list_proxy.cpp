// ListItem: the list methods of a reference to an array or an array of
// tables. Each method converts its arguments first, then takes the document
// through the reference (freshness, path), applies the sequence operation and
// records what moved.
#include "list_proxy.hpp"

#include <optional>
#include <utility>

#include "args.hpp"
#include "boundary.hpp"
#include "comments_on_removal.hpp"
#include "equality.hpp"
#include "item.hpp"
#include "item_ops.hpp"
#include "item_proxy.hpp"
#include "list_ops.hpp"
#include "raise.hpp"
#include "type_factories.hpp"

namespace quillon {

Result<std::vector<toml::Item>> extract_items(PyObject* iterable) {
    PyRef it(PyObject_GetIter(iterable));
    if (!it) return Error::fetch();
    std::vector<toml::Item> items;
    while (PyRef element{PyIter_Next(it.get())}) {
        Result<toml::Item> converted = extract_item(element.get());
        if (!converted) return std::move(converted).error();
        items.push_back(std::move(*converted));
    }
    if (PyErr_Occurred()) return Error::fetch();
    return items;
}

Status list_item_extend_with(PyObject* self, PyObject* values) {
    Result<std::vector<toml::Item>> items = extract_items(values);
    if (!items) return std::move(items).error();
    auto w = ItemWrite::open(as_proxy(self));
    if (!w) return std::move(w).error();
    Result<ArrayLike> seq = as_array_like_mut(w->item(), "extend()");
    if (!seq) return std::move(seq).error();
    return item_extend(*seq, std::move(*items));
}

namespace {

const char kListItemDoc[] =
    "A TOML array or array of tables.\n\n"
    "``isinstance(item, ListItem)`` and\n"
    "``isinstance(item, MutableSequence)`` both work.";

const char kSetMultilineDoc[] =
    "set_multiline($self, *, indent=4)\n--\n\n"
    "Format the array as multiline.\n\n"
    "Each element is placed on its own line, indented by *indent*\n"
    "spaces, with a trailing comma after the last element.\n"
    "Use ``.fmt()`` to collapse back to a single line.\n\n"
    "No-op on empty arrays.  Any comments on the array elements will\n"
    "be removed.";

constexpr Param kParseParams[] = {{"text", ParamKind::PositionalOrKeyword, true}};
constexpr Signature kParseSignature{"ListItem.parse()", kParseParams};

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

constexpr Param kSetMultilineParams[] = {{"indent", ParamKind::KeywordOnly, false}};
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
    if (!v) return std::move(v).error();
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

#define BIND_OR_RAISE(sig)                                                \
    Bound a;                                                              \
    if (Status st = bind_fastcall(sig, args, nargs, kwnames, a); !st) {   \
        return raise_obj(std::move(st).error());                          \
    }

PyObject* list_item_parse(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kParseSignature)
        ModuleState* state = module_state(module);
        Result<PyRef> parsed = parse_as(state, a[0], "ListItem", state->list_item, "array");
        if (!parsed) return raise_obj(std::move(parsed).error());
        return parsed->release();
    });
}

// pop(index=None, /): the removed element as a plain Python object.
PyObject* list_item_pop(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kPopSignature)
        std::optional<int64_t> index;
        if (PyObject* given = a.not_none(0)) {
            Result<PyRef> plain = resolve_proxy(given);
            if (!plain) return raise_obj(std::move(plain).error());
            Result<int64_t> converted = to_int64(*plain ? plain->get() : given);
            if (!converted) return raise_obj(std::move(converted).error());
            index = *converted;
        }
        auto w = ItemWrite::open(as_proxy(self));
        if (!w) return raise_obj(std::move(w).error());
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "pop()");
        if (!seq) return raise_obj(std::move(seq).error());
        // The plain copy is made before anything is removed, so that a value
        // Python cannot hold (a date in year 0) leaves the element in place.
        Result<size_t> position = pop_position(*seq, index);
        if (!position) return raise_obj(std::move(position).error());
        Result<PyRef> plain = item_to_py(seq->is_aot ? seq->aot->values[*position] : seq->array->values[*position]);
        if (!plain) return raise_obj(std::move(plain).error());
        keep_comment_lines_before_member_removal(w->document()->inner, w->item(), {&*position, 1});
        Result<Removed> removed = item_remove_at(*seq, *position);
        if (!removed) return raise_obj(std::move(removed).error());
        w->bump_affected(removed->affected);
        return plain->release();
    });
}

PyObject* list_item_append(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kAppendSignature)
        Result<toml::Item> item = extract_item(a[0]);
        if (!item) return raise_obj(argument_error("value", std::move(item).error()));
        auto w = ItemWrite::open(as_proxy(self));
        if (!w) return raise_obj(std::move(w).error());
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "append()");
        if (!seq) return raise_obj(std::move(seq).error());
        Status done = item_append(*seq, std::move(*item));
        if (!done) return raise_obj(std::move(done).error());
        Py_RETURN_NONE;
    });
}

PyObject* list_item_insert(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kInsertSignature)
        Result<int64_t> index = int64_argument(a[0], "index");
        if (!index) return raise_obj(std::move(index).error());
        Result<toml::Item> item = extract_item(a[1]);
        if (!item) return raise_obj(argument_error("value", std::move(item).error()));
        auto w = ItemWrite::open(as_proxy(self));
        if (!w) return raise_obj(std::move(w).error());
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "insert()");
        if (!seq) return raise_obj(std::move(seq).error());
        Result<Affected> affected = item_insert(*seq, *index, std::move(*item));
        if (!affected) return raise_obj(std::move(affected).error());
        w->bump_affected(*affected);
        Py_RETURN_NONE;
    });
}

// remove(value, /): a reading pass finds the position (the comparison may run
// Python code), a writing pass removes it.
PyObject* list_item_remove(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kRemoveSignature)
        size_t position = 0;
        {
            auto ref = ItemRead::open(as_proxy(self));
            if (!ref) return raise_obj(std::move(ref).error());
            Result<ConstArrayLike> seq = as_array_like(ref->item(), "remove()");
            if (!seq) return raise_obj(std::move(seq).error());
            Result<size_t> found = item_index(*seq, equals_object(a[0]), std::nullopt, std::nullopt);
            if (!found) return raise_obj(std::move(found).error());
            position = *found;
        }
        auto w = ItemWrite::open(as_proxy(self));
        if (!w) return raise_obj(std::move(w).error());
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "remove()");
        if (!seq) return raise_obj(std::move(seq).error());
        keep_comment_lines_before_member_removal(w->document()->inner, w->item(), {&position, 1});
        Result<Removed> removed = item_remove_at(*seq, position);
        if (!removed) return raise_obj(std::move(removed).error());
        w->bump_affected(removed->affected);
        Py_RETURN_NONE;
    });
}

PyObject* list_item_extend(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kExtendSignature)
        Status done = list_item_extend_with(self, a[0]);
        if (!done) return raise_obj(std::move(done).error());
        Py_RETURN_NONE;
    });
}

PyObject* list_item_count(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kCountSignature)
        auto ref = ItemRead::open(as_proxy(self));
        if (!ref) return raise_obj(std::move(ref).error());
        Result<ConstArrayLike> seq = as_array_like(ref->item(), "count()");
        if (!seq) return raise_obj(std::move(seq).error());
        Result<size_t> count = item_count(*seq, equals_object(a[0]));
        if (!count) return raise_obj(std::move(count).error());
        return PyLong_FromSize_t(*count);
    });
}

PyObject* list_item_index(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kIndexSignature)
        Result<std::optional<int64_t>> start = bound_argument(a[1], "start");
        if (!start) return raise_obj(std::move(start).error());
        Result<std::optional<int64_t>> stop = bound_argument(a[2], "stop");
        if (!stop) return raise_obj(std::move(stop).error());
        auto ref = ItemRead::open(as_proxy(self));
        if (!ref) return raise_obj(std::move(ref).error());
        Result<ConstArrayLike> seq = as_array_like(ref->item(), "index()");
        if (!seq) return raise_obj(std::move(seq).error());
        Result<size_t> found = item_index(*seq, equals_object(a[0]), *start, *stop);
        if (!found) return raise_obj(std::move(found).error());
        return PyLong_FromSize_t(*found);
    });
}

PyObject* list_item_set_multiline(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        BIND_OR_RAISE(kSetMultilineSignature)
        size_t indent = 4;
        if (a.given(0)) {
            PyRef number(PyNumber_Index(a[0]));
            if (!number) return raise_obj(argument_error("indent", Error::fetch()));
            indent = PyLong_AsSize_t(number.get());
            if (indent == static_cast<size_t>(-1) && PyErr_Occurred()) {
                return raise_obj(argument_error("indent", Error::fetch()));
            }
        }
        auto w = ItemWrite::open(as_proxy(self));
        if (!w) return raise_obj(std::move(w).error());
        Result<ArrayLike> seq = as_array_like_mut(w->item(), "set_multiline()");
        if (!seq) return raise_obj(std::move(seq).error());
        item_set_multiline(*seq, indent);
        Py_RETURN_NONE;
    });
}

#undef BIND_OR_RAISE

#define QUILLON_FASTCALL(f) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f))
constexpr int kMethodFlags = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef list_item_methods[] = {
    {"pop", QUILLON_FASTCALL(list_item_pop), kMethodFlags, "pop($self, index=None, /)\n--\n\n"},
    {"append", QUILLON_FASTCALL(list_item_append), kMethodFlags, "append($self, value, /)\n--\n\n"},
    {"insert", QUILLON_FASTCALL(list_item_insert), kMethodFlags, "insert($self, index, value, /)\n--\n\n"},
    {"remove", QUILLON_FASTCALL(list_item_remove), kMethodFlags, "remove($self, value, /)\n--\n\n"},
    {"extend", QUILLON_FASTCALL(list_item_extend), kMethodFlags, "extend($self, values, /)\n--\n\n"},
    {"count", QUILLON_FASTCALL(list_item_count), kMethodFlags, "count($self, value, /)\n--\n\n"},
    {"index", QUILLON_FASTCALL(list_item_index), kMethodFlags,
     "index($self, value, start=None, stop=None, /)\n--\n\n"},
    {"set_multiline", QUILLON_FASTCALL(list_item_set_multiline), kMethodFlags, kSetMultilineDoc},
    {nullptr, nullptr, 0, nullptr},
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
    {"parse", QUILLON_FASTCALL(list_item_parse), kMethodFlags, "parse(text)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* create_list_item_type(PyObject* module, PyObject* item_type) {
    PyRef type(PyType_FromModuleAndSpec(module, &list_item_spec, item_type));
    if (!type || add_static_methods(type.get(), module, list_item_static_methods) < 0) return nullptr;
    disallow_instantiation(type.get());
    return type.release();
}

}  // namespace quillon
