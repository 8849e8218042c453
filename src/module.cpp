// Module entry point: creates the class objects, publishes them in the module
// and its __all__, and registers the container classes with collections.abc.
// QUILLON_VERSION comes from the build, which reads the distribution version.
#include "boundary.hpp"
#include "type_factories.hpp"
#include "types.hpp"

namespace quillon {

ClassObjects classes;

namespace {

const char kRegistrationScript[] =
    "from collections.abc import KeysView, ValuesView, ItemsView, MutableMapping, MutableSequence\n"
    "KeysView.register(_KV)\n"
    "ValuesView.register(_VV)\n"
    "ItemsView.register(_IV)\n"
    "MutableMapping.register(_Doc)\n"
    "MutableMapping.register(_DI)\n"
    "MutableSequence.register(_LI)\n";

// Adds `type` to the module under `name` and appends the name to __all__
// (created empty when the module has none).
int add_class(PyObject* module, const char* name, PyObject* type) {
    PyObject* dict = PyModule_GetDict(module);  // borrowed
    PyObject* all = PyDict_GetItemString(dict, "__all__");  // borrowed
    PyRef created;
    if (!all) {
        created = PyRef(PyList_New(0));
        if (!created || PyDict_SetItemString(dict, "__all__", created.get()) < 0) return -1;
        all = created.get();
    }
    PyRef text(PyUnicode_FromString(name));
    if (!text || PyList_Append(all, text.get()) < 0) return -1;
    return PyObject_SetAttrString(module, name, type);
}

// Creates a class, keeps a strong reference in `slot` and publishes it.
template <class Create>
int make_class(PyObject* module, const char* name, PyTypeObject*& slot, Create&& create) {
    PyObject* type = create();
    if (!type) return -1;
    Py_XDECREF(slot);
    slot = reinterpret_cast<PyTypeObject*>(type);
    return add_class(module, name, type);
}

int register_with_abc(PyObject* module) {
    static const char* const kBindings[][2] = {
        {"_KV", "KeysView"}, {"_VV", "ValuesView"}, {"_IV", "ItemsView"},
        {"_Doc", "Document"}, {"_DI", "DictItem"},  {"_LI", "ListItem"},
    };
    PyRef globals(PyDict_New());
    if (!globals) return -1;
    for (const auto& binding : kBindings) {
        PyRef cls(PyObject_GetAttrString(module, binding[1]));
        if (!cls || PyDict_SetItemString(globals.get(), binding[0], cls.get()) < 0) return -1;
    }
    PyRef code(Py_CompileString(kRegistrationScript, "<string>", Py_file_input));
    if (!code) return -1;
    if (!PyDict_GetItemString(globals.get(), "__builtins__")) {
        if (PyDict_SetItemString(globals.get(), "__builtins__", PyEval_GetBuiltins()) < 0) return -1;
    }
    PyRef result(PyEval_EvalCode(code.get(), globals.get(), globals.get()));
    return result ? 0 : -1;
}

int module_exec(PyObject* module) {
    return boundary<int>(-1, [&]() -> int {
        if (!PyModule_Check(module)) {
            PyErr_SetString(PyExc_TypeError, "expected a module object");
            return -1;
        }
        if (make_class(module, "Document", classes.document, [&] { return create_document_type(module); }) < 0 ||
            make_class(module, "Item", classes.item, [&] { return create_item_type(module); }) < 0) {
            return -1;
        }
        PyObject* item = reinterpret_cast<PyObject*>(classes.item);
        if (make_class(module, "DictItem", classes.dict_item, [&] { return create_dict_item_type(module, item); }) < 0 ||
            make_class(module, "ListItem", classes.list_item, [&] { return create_list_item_type(module, item); }) < 0 ||
            make_class(module, "ScalarItem", classes.scalar_item,
                       [&] { return create_scalar_item_type(module, item); }) < 0 ||
            make_class(module, "KeysView", classes.keys_view, [&] { return create_keys_view_type(module); }) < 0 ||
            make_class(module, "ValuesView", classes.values_view, [&] { return create_values_view_type(module); }) < 0 ||
            make_class(module, "ItemsView", classes.items_view, [&] { return create_items_view_type(module); }) < 0) {
            return -1;
        }
        if (register_with_abc(module) < 0) return -1;
        return PyModule_AddStringConstant(module, "__version__", QUILLON_VERSION);
    });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "quillon",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace quillon

PyMODINIT_FUNC PyInit_quillon(void) { return PyModuleDef_Init(&quillon::module_def); }
