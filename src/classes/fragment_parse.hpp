// parse(text) of Item and of its three narrowed classes: one TOML value
// parsed into a private document of its own. The narrowed classes require the
// value's kind; Item takes any value.
#pragma once

#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/module_state.hpp"
#include "refs/item_proxy.hpp"

namespace quillon {

struct FragmentParse {
    const Signature& signature;
    const char* class_name;                // null for Item: any kind is taken
    PyTypeObject* ModuleState::*required;  // the class the value must narrow to
    const char* kind_word;                 // named in the refusal
};

inline constexpr Param kFragmentTextParam[] = {{"text", ParamKind::PositionalOrKeyword, true}};
inline constexpr Signature kItemParseSignature{"Item.parse()", kFragmentTextParam};
inline constexpr Signature kDictItemParseSignature{"DictItem.parse()", kFragmentTextParam};
inline constexpr Signature kListItemParseSignature{"ListItem.parse()", kFragmentTextParam};
inline constexpr Signature kScalarItemParseSignature{"ScalarItem.parse()", kFragmentTextParam};

inline constexpr FragmentParse kItemParse{kItemParseSignature, nullptr, nullptr, nullptr};
inline constexpr FragmentParse kDictItemParse{kDictItemParseSignature, "DictItem", &ModuleState::dict_item, "table"};
inline constexpr FragmentParse kListItemParse{kListItemParseSignature, "ListItem", &ModuleState::list_item, "array"};
inline constexpr FragmentParse kScalarItemParse{kScalarItemParseSignature, "ScalarItem", &ModuleState::scalar_item,
                                                "scalar"};

// A static method bound to the module (see add_static_methods).
template <const FragmentParse& P>
PyObject* parse_fragment(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(P.signature, args, nargs, kwnames, a));
        ModuleState* state = module_state(module);
        PyTypeObject* required = nullptr;
        if constexpr (P.class_name != nullptr) required = state->*P.required;
        Result<PyRef> parsed = parse_as(state, a[0], P.class_name, required, P.kind_word);
        QUILLON_TRY(parsed);
        return parsed->release();
    });
}

}  // namespace quillon
