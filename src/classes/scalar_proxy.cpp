#include "classes/scalar_proxy_ops.hpp"
#include "classes/fragment_parse.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/method_def.hpp"
#include "glue/type_factories.hpp"
#include "refs/item_proxy.hpp"

namespace quillon {
namespace {

const char kScalarItemDoc[] =
    "A scalar TOML value (string, integer, float, boolean, datetime, date, or time).";

PyMethodDef scalar_item_methods[] = {
    method<kFormatSignature>(scalar_format),
    kMethodsEnd,
};

PyType_Slot scalar_item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kScalarItemDoc)},
    {Py_tp_methods, scalar_item_methods},
    {Py_tp_hash, reinterpret_cast<void*>(scalar_hash)},
    {Py_tp_richcompare, reinterpret_cast<void*>(scalar_richcompare)},
    {Py_tp_getattro, reinterpret_cast<void*>(scalar_getattro)},
    {Py_sq_contains, reinterpret_cast<void*>(scalar_contains)},
    {Py_nb_add, reinterpret_cast<void*>(scalar_add)},
    {Py_nb_subtract, reinterpret_cast<void*>(scalar_subtract)},
    {Py_nb_multiply, reinterpret_cast<void*>(scalar_multiply)},
    {Py_nb_true_divide, reinterpret_cast<void*>(scalar_true_divide)},
    {Py_nb_floor_divide, reinterpret_cast<void*>(scalar_floor_divide)},
    {Py_nb_remainder, reinterpret_cast<void*>(scalar_remainder)},
    {Py_nb_power, reinterpret_cast<void*>(scalar_power)},
    {Py_nb_negative, reinterpret_cast<void*>(scalar_negative)},
    {Py_nb_positive, reinterpret_cast<void*>(scalar_positive)},
    {Py_nb_absolute, reinterpret_cast<void*>(scalar_absolute)},
    {Py_nb_invert, reinterpret_cast<void*>(scalar_invert)},
    {Py_nb_index, reinterpret_cast<void*>(scalar_index)},
    {Py_nb_int, reinterpret_cast<void*>(scalar_int)},
    {Py_nb_float, reinterpret_cast<void*>(scalar_float)},
    {0, nullptr},
};

// Same layout as Item: the base's size and deallocation are inherited.
PyType_Spec scalar_item_spec = {
    "quillon.ScalarItem", 0, 0, Py_TPFLAGS_DEFAULT | kNoConstructorFlag, scalar_item_slots,
};

PyMethodDef scalar_item_static_methods[] = {
    static_method<kScalarItemParseSignature>(parse_fragment<kScalarItemParse>),
    kMethodsEnd,
};

}  // namespace

PyObject* create_scalar_item_type(PyObject* module, PyObject* item_type) {
    PyRef type(PyType_FromModuleAndSpec(module, &scalar_item_spec, item_type));
    if (!type || add_static_methods(type.get(), module, scalar_item_static_methods) < 0) return nullptr;
    disallow_instantiation(type.get());
    return type.release();
}

}  // namespace quillon
