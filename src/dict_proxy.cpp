#include "dict_proxy.hpp"

#include "args.hpp"
#include "boundary.hpp"
#include "dict_ops.hpp"
#include "item_proxy.hpp"
#include "paths.hpp"
#include "raise.hpp"
#include "type_factories.hpp"
#include "views.hpp"

namespace quillon {
namespace {

const char kDictItemDoc[] =
    "A TOML table or inline table.\n\n"
    "``isinstance(item, DictItem)`` and\n"
    "``isinstance(item, MutableMapping)`` both work.";

constexpr Param kParseParams[] = {{"text", ParamKind::PositionalOrKeyword, true}};
constexpr Signature kParseSignature{"DictItem.parse()", kParseParams};

constexpr Param kGetParams[] = {{"key", ParamKind::PositionalOnly, true},
                                {"default", ParamKind::PositionalOnly, false}};
constexpr Signature kGetSignature{"DictItem.get()", kGetParams};

constexpr Signature kKeysSignature{"DictItem.keys()", {}};
constexpr Signature kValuesSignature{"DictItem.values()", {}};
constexpr Signature kItemsSignature{"DictItem.items()", {}};

// parse(text): a fragment that must narrow to DictItem.
PyObject* dict_item_parse(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kParseSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        ModuleState* state = module_state(module);
        Result<PyRef> parsed = parse_as(state, a[0], "DictItem", state->dict_item, "table");
        if (!parsed) return std::move(parsed).error().raise();
        return parsed->release();
    });
}

// get(key, default=None, /): the child Item, or the default (None counts as
// no default, which reads None as well).
PyObject* dict_item_get(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kGetSignature, args, nargs, kwnames, a); !st) {
            return raise_obj(std::move(st).error());
        }
        PyObject* fallback = a.given(1) ? a[1] : Py_None;
        auto text = extract_key_str(a[0]);
        if (!text) return raise_obj(std::move(text).error());
        if (!*text) return Py_NewRef(fallback);
        auto ref = ItemRead::open(as_proxy(self));
        if (!ref) return raise_obj(std::move(ref).error());
        Result<bool> present = item_has_key(ref->item(), **text);
        if (!present) return raise_obj(std::move(present).error());
        if (!*present) return Py_NewRef(fallback);
        Result<PyRef> child = child_proxy_typed(ref->proxy()->doc, ref->proxy()->path, Key::str(**text));
        if (!child) return raise_obj(std::move(child).error());
        return child->release();
    });
}

// keys(), values(), items(): the view is made after the freshness check only;
// a path that no longer resolves is reported when the view is used.
PyObject* new_view(PyObject* self, const Signature& sig, PyTypeObject* type, PyObject* const* args,
                   Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(sig, args, nargs, kwnames, a); !st) return raise_obj(std::move(st).error());
        ItemProxyObject* proxy = as_proxy(self);
        auto self_access = ReadBorrow::take(proxy->guard);
        if (!self_access) return raise_obj(std::move(self_access).error());
        auto access = ReadBorrow::take(proxy->document()->guard);
        if (!access) return raise_obj(std::move(access).error());
        Status fresh = check_fresh(proxy->document(), proxy->path, proxy->stamp);
        if (!fresh) return raise_obj(std::move(fresh).error());
        Result<PyRef> view = make_view(type, proxy->doc, proxy->path);
        if (!view) return raise_obj(std::move(view).error());
        return view->release();
    });
}

PyObject* dict_item_keys(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return new_view(self, kKeysSignature, as_proxy(self)->state()->keys_view, args, nargs, kwnames);
}

PyObject* dict_item_values(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return new_view(self, kValuesSignature, as_proxy(self)->state()->values_view, args, nargs, kwnames);
}

PyObject* dict_item_items(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return new_view(self, kItemsSignature, as_proxy(self)->state()->items_view, args, nargs, kwnames);
}

// ---- implicit ----

PyObject* dict_item_implicit_get(PyObject* self, void*) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(as_proxy(self));
        if (!ref) return raise_obj(std::move(ref).error());
        const toml::Table* table = ref->item().as_table();
        return PyBool_FromLong(table && table->implicit ? 1 : 0);
    });
}

// Only a standard table has a header to suppress: anything else ignores it.
int dict_item_implicit_set(PyObject* self, PyObject* value, void*) {
    return boundary<int>(-1, [&]() -> int {
        if (!value) {
            raise_obj(Error::attribute_error("can't delete attribute"));
            return -1;
        }
        if (!PyBool_Check(value)) {
            PyRef qualname(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), "__qualname__"));
            if (!qualname) return -1;
            PyErr_Format(PyExc_TypeError, "'%S' object cannot be converted to 'PyBool'", qualname.get());
            raise_obj(argument_error("implicit", Error::fetch()));
            return -1;
        }
        auto w = ItemWrite::open(as_proxy(self));
        if (!w) {
            raise_obj(std::move(w).error());
            return -1;
        }
        if (toml::Table* table = w->item().as_table()) table->implicit = value == Py_True;
        return 0;
    });
}

const char kImplicitDoc[] =
    "Whether this table's header is implicit (suppressed in TOML output).\n\n"
    "An implicit table like ``[a]`` in ``[a.b]\\nx = 1`` has no ``[a]``\n"
    "header \xe2\x80\x94 it exists only because ``a.b`` requires it.  Inline tables\n"
    "are never implicit; this always returns ``False`` for them.\n\n"
    "Setting to ``True`` suppresses the header; setting to ``False``\n"
    "makes it explicit.  Silently ignored on inline tables.";

#define QUILLON_FASTCALL(f) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f))

PyMethodDef dict_item_methods[] = {
    {"get", QUILLON_FASTCALL(dict_item_get), METH_FASTCALL | METH_KEYWORDS, "get($self, key, default=None, /)\n--\n\n"},
    {"pop", QUILLON_FASTCALL(dict_item_pop), METH_FASTCALL | METH_KEYWORDS, "pop($self, key, /, *default)\n--\n\n"},
    {"popitem", QUILLON_FASTCALL(dict_item_popitem), METH_FASTCALL | METH_KEYWORDS, "popitem($self)\n--\n\n"},
    {"keys", QUILLON_FASTCALL(dict_item_keys), METH_FASTCALL | METH_KEYWORDS, "keys($self)\n--\n\n"},
    {"values", QUILLON_FASTCALL(dict_item_values), METH_FASTCALL | METH_KEYWORDS, "values($self)\n--\n\n"},
    {"items", QUILLON_FASTCALL(dict_item_items), METH_FASTCALL | METH_KEYWORDS, "items($self)\n--\n\n"},
    {"update", QUILLON_FASTCALL(dict_item_update), METH_FASTCALL | METH_KEYWORDS,
     "update($self, other=None, /, **kwargs)\n--\n\n"},
    {"setdefault", QUILLON_FASTCALL(dict_item_setdefault), METH_FASTCALL | METH_KEYWORDS,
     "setdefault($self, key, default=None, /)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef dict_item_getset[] = {
    {"implicit", dict_item_implicit_get, dict_item_implicit_set, kImplicitDoc, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot dict_item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kDictItemDoc)},
    {Py_tp_methods, dict_item_methods},
    {Py_tp_getset, dict_item_getset},
    {Py_nb_or, reinterpret_cast<void*>(dict_item_or)},
    {Py_nb_inplace_or, reinterpret_cast<void*>(dict_item_ior)},
    {0, nullptr},
};

// Same layout as Item: the base's size and deallocation are inherited.
PyType_Spec dict_item_spec = {
    "quillon.DictItem", 0, 0, Py_TPFLAGS_DEFAULT | kNoConstructorFlag, dict_item_slots,
};

PyMethodDef dict_item_static_methods[] = {
    {"parse", QUILLON_FASTCALL(dict_item_parse), METH_FASTCALL | METH_KEYWORDS, "parse(text)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* create_dict_item_type(PyObject* module, PyObject* item_type) {
    PyRef type(PyType_FromModuleAndSpec(module, &dict_item_spec, item_type));
    if (!type || add_static_methods(type.get(), module, dict_item_static_methods) < 0) return nullptr;
    disallow_instantiation(type.get());
    return type.release();
}

}  // namespace quillon
