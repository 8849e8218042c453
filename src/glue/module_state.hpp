// The module's state: its class objects. Every module object made from
// `module_def` has its own (one per interpreter, and a new one after each
// re-import), so an object is always checked against, and creates objects of,
// the classes of the module that made it.
#pragma once

#include <type_traits>

#include "glue/py_ref.hpp"

namespace quillon {

// Zero-filled by the interpreter when the module object is created; filled
// by the module's exec step and emptied by its clear step.
struct ModuleState {
    PyTypeObject* document;
    PyTypeObject* item;
    PyTypeObject* dict_item;
    PyTypeObject* list_item;
    PyTypeObject* scalar_item;
    PyTypeObject* keys_view;
    PyTypeObject* values_view;
    PyTypeObject* items_view;
};
static_assert(std::is_trivial_v<ModuleState>);

extern PyModuleDef module_def;

inline ModuleState* module_state(PyObject* module) { return static_cast<ModuleState*>(PyModule_GetState(module)); }

// The state of the module that made `type` or one of its bases; nullptr, with
// no error set, when `type` is not a class of this extension.
ModuleState* state_of_class(PyTypeObject* type);

// Whether `obj` is an instance of the class `which` of the module that made
// obj's class. Any object may be asked, including other modules' objects.
inline bool is_instance_of(PyObject* obj, PyTypeObject* ModuleState::*which) {
    ModuleState* state = state_of_class(Py_TYPE(obj));
    return state && state->*which && PyObject_TypeCheck(obj, state->*which);
}

// Adds `methods` (without METH_STATIC) to `type` as static methods whose C
// functions get the module as their self, so that they find its state: the
// interpreter passes a METH_STATIC function no self at all. (With the class
// as self, introspection would take them for class methods.)
int add_static_methods(PyObject* type, PyObject* module, PyMethodDef* methods);

}  // namespace quillon
