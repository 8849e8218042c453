#include "classes/mapping_methods.hpp"
#include "classes/fragment_parse.hpp"
#include "edits/dict_ops.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/method_def.hpp"
#include "glue/type_factories.hpp"
#include "refs/item_proxy.hpp"
#include "refs/paths.hpp"

namespace quillon {
namespace {

const char kDictItemDoc[] =
    "A TOML table or inline table.\n\n"
    "``isinstance(item, DictItem)`` and\n"
    "``isinstance(item, MutableMapping)`` both work.";

// ---- implicit ----

PyObject* dict_item_implicit_get(PyObject* self, void*) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(as_proxy(self));
        QUILLON_TRY(ref);
        const toml::Table* table = ref->item().as_table();
        return PyBool_FromLong(table && table->implicit ? 1 : 0);
    });
}

// Only a standard table has a header to suppress: anything else ignores it.
int dict_item_implicit_set(PyObject* self, PyObject* value, void*) {
    return boundary<int>(-1, [&]() -> int {
        if (!value) return fail(Error::attribute_error("can't delete attribute"));
        if (!PyBool_Check(value)) {
            PyRef qualname(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), "__qualname__"));
            if (!qualname) return -1;
            PyErr_Format(PyExc_TypeError, "'%S' object cannot be converted to 'PyBool'", qualname.get());
            return fail(argument_error("implicit", Error::fetch()));
        }
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
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


// parse is added as a static method when the class is made.
PyMethodDef dict_item_own_methods[] = {
    kMethodsEnd,
};

auto dict_item_methods = with_mapping_methods<MappingClass::DictItem>(dict_item_own_methods);

PyGetSetDef dict_item_getset[] = {
    {"implicit", dict_item_implicit_get, dict_item_implicit_set, kImplicitDoc, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot dict_item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kDictItemDoc)},
    {Py_tp_methods, dict_item_methods.data()},
    {Py_tp_getset, dict_item_getset},
    {Py_nb_or, reinterpret_cast<void*>(mapping_or<MappingClass::DictItem>)},
    {Py_nb_inplace_or, reinterpret_cast<void*>(mapping_ior<MappingClass::DictItem>)},
    {0, nullptr},
};

// Same layout as Item: the base's size and deallocation are inherited.
PyType_Spec dict_item_spec = {
    "quillon.DictItem", 0, 0, Py_TPFLAGS_DEFAULT | kNoConstructorFlag, dict_item_slots,
};

PyMethodDef dict_item_static_methods[] = {
    static_method<kDictItemParseSignature>(parse_fragment<kDictItemParse>),
    kMethodsEnd,
};

}  // namespace

PyObject* create_dict_item_type(PyObject* module, PyObject* item_type) {
    PyRef type(PyType_FromModuleAndSpec(module, &dict_item_spec, item_type));
    if (!type || add_static_methods(type.get(), module, dict_item_static_methods) < 0) return nullptr;
    disallow_instantiation(type.get());
    return type.release();
}

}  // namespace quillon
