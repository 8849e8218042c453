#include "views.hpp"

#include "type_factories.hpp"

namespace quillon {
namespace {

// Views are made only by the module, which constructs `path` in place and
// stores a strong reference in `doc`.
void view_dealloc(PyObject* self) {
    PyTypeObject* tp = Py_TYPE(self);
    ViewObject* v = as_view(self);
    v->path.~Path();
    Py_XDECREF(v->doc);
    tp->tp_free(self);
    Py_DECREF(tp);
}

const char kKeysViewDoc[] = "A live view of the string keys in a TOML table (or the document root).";
const char kValuesViewDoc[] = "A live view of the values in a TOML table (or the document root).";
const char kItemsViewDoc[] = "A live view of the (key, value) pairs in a TOML table (or the document root).";

PyType_Slot keys_view_slots[] = {
    {Py_tp_doc, const_cast<char*>(kKeysViewDoc)},
    {Py_tp_dealloc, reinterpret_cast<void*>(view_dealloc)},
    {0, nullptr},
};
PyType_Slot values_view_slots[] = {
    {Py_tp_doc, const_cast<char*>(kValuesViewDoc)},
    {Py_tp_dealloc, reinterpret_cast<void*>(view_dealloc)},
    {0, nullptr},
};
PyType_Slot items_view_slots[] = {
    {Py_tp_doc, const_cast<char*>(kItemsViewDoc)},
    {Py_tp_dealloc, reinterpret_cast<void*>(view_dealloc)},
    {0, nullptr},
};

constexpr int kViewSize = static_cast<int>(sizeof(ViewObject));
constexpr unsigned int kViewFlags = Py_TPFLAGS_DEFAULT | kNoConstructorFlag;

PyType_Spec keys_view_spec = {"quillon.KeysView", kViewSize, 0, kViewFlags, keys_view_slots};
PyType_Spec values_view_spec = {"quillon.ValuesView", kViewSize, 0, kViewFlags, values_view_slots};
PyType_Spec items_view_spec = {"quillon.ItemsView", kViewSize, 0, kViewFlags, items_view_slots};

PyObject* create_view_type(PyObject* module, PyType_Spec* spec) {
    PyObject* type = PyType_FromModuleAndSpec(module, spec, nullptr);
    if (type) disallow_instantiation(type);
    return type;
}

}  // namespace

PyObject* create_keys_view_type(PyObject* module) { return create_view_type(module, &keys_view_spec); }
PyObject* create_values_view_type(PyObject* module) { return create_view_type(module, &values_view_spec); }
PyObject* create_items_view_type(PyObject* module) { return create_view_type(module, &items_view_spec); }

}  // namespace quillon
