#include "args.hpp"
#include "boundary.hpp"
#include "item_proxy.hpp"
#include "type_factories.hpp"

namespace quillon {
namespace {

const char kScalarItemDoc[] =
    "A scalar TOML value (string, integer, float, boolean, datetime, date, or time).";

constexpr Param kParseParams[] = {{"text", ParamKind::PositionalOrKeyword, true}};
constexpr Signature kParseSignature{"ScalarItem.parse()", kParseParams};

// parse(text): a fragment that must narrow to ScalarItem.
PyObject* scalar_item_parse(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kParseSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        Result<PyRef> parsed = parse_as(a[0], "ScalarItem", classes.scalar_item, "scalar");
        if (!parsed) return std::move(parsed).error().raise();
        return parsed->release();
    });
}

PyMethodDef scalar_item_methods[] = {
    {"parse", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(scalar_item_parse)),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC, "parse(text)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot scalar_item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kScalarItemDoc)},
    {Py_tp_methods, scalar_item_methods},
    {0, nullptr},
};

// Same layout as Item: the base's size and deallocation are inherited.
PyType_Spec scalar_item_spec = {
    "quillon.ScalarItem", 0, 0, Py_TPFLAGS_DEFAULT | kNoConstructorFlag, scalar_item_slots,
};

}  // namespace

PyObject* create_scalar_item_type(PyObject* module, PyObject* item_type) {
    PyObject* type = PyType_FromModuleAndSpec(module, &scalar_item_spec, item_type);
    if (type) disallow_instantiation(type);
    return type;
}

}  // namespace quillon
