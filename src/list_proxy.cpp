#include "args.hpp"
#include "boundary.hpp"
#include "item_proxy.hpp"
#include "type_factories.hpp"

namespace quillon {
namespace {

const char kListItemDoc[] =
    "A TOML array or array of tables.\n\n"
    "``isinstance(item, ListItem)`` and\n"
    "``isinstance(item, MutableSequence)`` both work.";

constexpr Param kParseParams[] = {{"text", ParamKind::PositionalOrKeyword, true}};
constexpr Signature kParseSignature{"ListItem.parse()", kParseParams};

// parse(text): a fragment that must narrow to ListItem.
PyObject* list_item_parse(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        if (Status st = bind_fastcall(kParseSignature, args, nargs, kwnames, a); !st) {
            return std::move(st).error().raise();
        }
        Result<PyRef> parsed = parse_as(a[0], "ListItem", classes.list_item, "array");
        if (!parsed) return std::move(parsed).error().raise();
        return parsed->release();
    });
}

PyMethodDef list_item_methods[] = {
    {"parse", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(list_item_parse)),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC, "parse(text)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot list_item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kListItemDoc)},
    {Py_tp_methods, list_item_methods},
    {0, nullptr},
};

// Same layout as Item: the base's size and deallocation are inherited.
PyType_Spec list_item_spec = {
    "quillon.ListItem", 0, 0, Py_TPFLAGS_DEFAULT | kNoConstructorFlag, list_item_slots,
};

}  // namespace

PyObject* create_list_item_type(PyObject* module, PyObject* item_type) {
    PyObject* type = PyType_FromModuleAndSpec(module, &list_item_spec, item_type);
    if (type) disallow_instantiation(type);
    return type;
}

}  // namespace quillon
