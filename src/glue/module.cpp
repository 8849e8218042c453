// Module entry point: creates the class objects in the module's state,
// publishes them in the module and its __all__, and registers the container
// classes with collections.abc.
// QUILLON_VERSION comes from the build, which reads the distribution version.
#include "glue/boundary.hpp"
#include "glue/module_state.hpp"
#include "glue/type_factories.hpp"

namespace quillon {
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

// Creates a class, keeps a strong reference in `slot` of the module's state
// and publishes it.
template <class Create>
int make_class(PyObject* module, const char* name, PyTypeObject*& slot, Create&& create) {
    PyObject* type = create();
    if (!type) return -1;
    Py_XSETREF(slot, reinterpret_cast<PyTypeObject*>(type));
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
        ModuleState& state = *module_state(module);
        if (make_class(module, "Document", state.document, [&] { return create_document_type(module); }) < 0 ||
            make_class(module, "Item", state.item, [&] { return create_item_type(module); }) < 0) {
            return -1;
        }
        PyObject* item = reinterpret_cast<PyObject*>(state.item);
        if (make_class(module, "DictItem", state.dict_item, [&] { return create_dict_item_type(module, item); }) < 0 ||
            make_class(module, "ListItem", state.list_item, [&] { return create_list_item_type(module, item); }) < 0 ||
            make_class(module, "ScalarItem", state.scalar_item,
                       [&] { return create_scalar_item_type(module, item); }) < 0 ||
            make_class(module, "KeysView", state.keys_view, [&] { return create_keys_view_type(module); }) < 0 ||
            make_class(module, "ValuesView", state.values_view, [&] { return create_values_view_type(module); }) < 0 ||
            make_class(module, "ItemsView", state.items_view, [&] { return create_items_view_type(module); }) < 0) {
            return -1;
        }
        if (register_with_abc(module) < 0) return -1;
        return PyModule_AddStringConstant(module, "__version__", QUILLON_VERSION);
    });
}

int module_traverse(PyObject* module, visitproc visit, void* arg) {
    ModuleState* state = module_state(module);
    if (!state) return 0;
    Py_VISIT(state->document);
    Py_VISIT(state->item);
    Py_VISIT(state->dict_item);
    Py_VISIT(state->list_item);
    Py_VISIT(state->scalar_item);
    Py_VISIT(state->keys_view);
    Py_VISIT(state->values_view);
    Py_VISIT(state->items_view);
    return 0;
}

int module_clear(PyObject* module) {
    ModuleState* state = module_state(module);
    if (!state) return 0;
    Py_CLEAR(state->document);
    Py_CLEAR(state->item);
    Py_CLEAR(state->dict_item);
    Py_CLEAR(state->list_item);
    Py_CLEAR(state->scalar_item);
    Py_CLEAR(state->keys_view);
    Py_CLEAR(state->values_view);
    Py_CLEAR(state->items_view);
    return 0;
}

void module_free(void* module) { module_clear(static_cast<PyObject*>(module)); }

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
#ifdef Py_mod_multiple_interpreters
    // Not under a GIL per interpreter: the datetime C API table is process-wide.
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_SUPPORTED},
#endif
    {0, nullptr},
};

}  // namespace

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "quillon",
    "",
    static_cast<Py_ssize_t>(sizeof(ModuleState)),
    nullptr,
    module_slots,
    module_traverse,
    module_clear,
    module_free,
};

}  // namespace quillon

PyMODINIT_FUNC PyInit_quillon(void) { return PyModuleDef_Init(&quillon::module_def); }
