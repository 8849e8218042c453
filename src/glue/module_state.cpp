#include "glue/module_state.hpp"

namespace quillon {

ModuleState* state_of_class(PyTypeObject* type) {
    // The walk PyType_GetModuleByDef makes, without the TypeError it raises
    // for a class that is not ours: plain values and other operands are asked
    // here all the time, and raising and clearing an error for each would
    // cost far more than the walk.
    PyObject* mro = type->tp_mro;
    if (!mro) return nullptr;
    Py_ssize_t n = PyTuple_GET_SIZE(mro);
    for (Py_ssize_t i = 0; i < n; ++i) {
        auto* base = reinterpret_cast<PyTypeObject*>(PyTuple_GET_ITEM(mro, i));
        if (!PyType_HasFeature(base, Py_TPFLAGS_HEAPTYPE)) continue;
        PyObject* module = reinterpret_cast<PyHeapTypeObject*>(base)->ht_module;
        if (module && PyModule_Check(module) && PyModule_GetDef(module) == &module_def) return module_state(module);
    }
    return nullptr;
}

int add_static_methods(PyObject* type, PyObject* module, PyMethodDef* methods) {
    for (PyMethodDef* def = methods; def->ml_name; ++def) {
        PyRef function(PyCFunction_New(def, module));
        if (!function) return -1;
        PyRef method(PyStaticMethod_New(function.get()));
        if (!method || PyObject_SetAttrString(type, def->ml_name, method.get()) < 0) return -1;
    }
    return 0;
}

}  // namespace quillon
