// Creation of the module's class objects. Each returns a new reference to the
// class (a heap type associated with `module`), or nullptr with an exception.
#pragma once

#include "glue/py_ref.hpp"

namespace quillon {

PyObject* create_document_type(PyObject* module);
PyObject* create_item_type(PyObject* module);
PyObject* create_dict_item_type(PyObject* module, PyObject* item_type);
PyObject* create_list_item_type(PyObject* module, PyObject* item_type);
PyObject* create_scalar_item_type(PyObject* module, PyObject* item_type);
PyObject* create_keys_view_type(PyObject* module);
PyObject* create_values_view_type(PyObject* module);
PyObject* create_items_view_type(PyObject* module);

// Type flag of classes that have no constructor: calling them raises
// TypeError. Interpreters without the flag get `disallow_instantiation`.
#ifdef Py_TPFLAGS_DISALLOW_INSTANTIATION
inline constexpr unsigned int kNoConstructorFlag = Py_TPFLAGS_DISALLOW_INSTANTIATION;
#else
inline constexpr unsigned int kNoConstructorFlag = 0;
#endif
inline void disallow_instantiation(PyObject* type) {
    reinterpret_cast<PyTypeObject*>(type)->tp_new = nullptr;
}

}  // namespace quillon
