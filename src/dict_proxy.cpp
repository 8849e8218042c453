#include "args.hpp"
#include "boundary.hpp"
#include "item_proxy.hpp"
#include "type_factories.hpp"

namespace quillon {
namespace {

const char kDictItemDoc[] =
    "A TOML table or inline table.\n\n"
    "``isinstance(item, DictItem)`` and\n"
    "``isinstance(item, MutableMapping)`` both work.";

constexpr Param kParseParams[] = {{"text", ParamKind::PositionalOrKeyword, true}};
constexpr Signature kParseSignature{"DictItem.parse()", kParseParams};

// parse(text): a fragment that must narrow to DictItem.
PyObject* dict_item_parse(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kParseSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        Result<PyRef> parsed = parse_as(a[0], "DictItem", classes.dict_item, "table");
        if (!parsed) return std::move(parsed).error().raise();
        return parsed->release();
    });
}

PyMethodDef dict_item_methods[] = {
    {"parse", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(dict_item_parse)),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC, "parse(text)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot dict_item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kDictItemDoc)},
    {Py_tp_methods, dict_item_methods},
    {0, nullptr},
};

// Same layout as Item: the base's size and deallocation are inherited.
PyType_Spec dict_item_spec = {
    "quillon.DictItem", 0, 0, Py_TPFLAGS_DEFAULT | kNoConstructorFlag, dict_item_slots,
};

}  // namespace

PyObject* create_dict_item_type(PyObject* module, PyObject* item_type) {
    PyObject* type = PyType_FromModuleAndSpec(module, &dict_item_spec, item_type);
    if (type) disallow_instantiation(type);
    return type;
}

}  // namespace quillon
