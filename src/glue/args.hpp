// Binding of Python call arguments against a member's published signature,
// with the TypeError messages that Python-level callers see.
//
// Each member describes its signature once, as a static table, which also
// gives its text signature (see method_def.hpp):
//
//     static constexpr Param kGetParams[] = {
//         {"key", ParamKind::PositionalOnly, true},
//         {"default", ParamKind::PositionalOnly, false},
//     };
//     static constexpr Signature kGet{"Document.get()", kGetParams};
//
//     Bound a;
//     QUILLON_TRY(bind_fastcall(kGet, args, nargs, kwnames, a));
//     PyObject* key = a[0];            // borrowed; nullptr when not given
//
// Parameters are listed positional-only first, then positional-or-keyword,
// then keyword-only; required parameters precede optional ones among the
// positional parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "glue/error.hpp"

namespace quillon {

enum class ParamKind : uint8_t { PositionalOnly, PositionalOrKeyword, KeywordOnly };

struct Param {
    const char* name;
    ParamKind kind;
    bool required;
    const char* default_text = "None";  // shown in the text signature when optional
};

struct Signature {
    const char* full_name;          // e.g. "Document.get()", used in messages
    std::span<const Param> params;  // at most Bound::kMaxParams
    const char* var_positional = nullptr;  // *name: surplus positional arguments are collected
    const char* var_keyword = nullptr;     // **name: unknown keywords are collected into a dict
};

// Result of a binding. Values are borrowed from the call's arguments and are
// valid for the duration of the call.
struct Bound {
    static constexpr size_t kMaxParams = 8;
    PyObject* values[kMaxParams] = {};
    std::span<PyObject* const> var_positional;  // surplus positional arguments
    PyRef var_keyword;                           // dict of unknown keywords, or null when none

    PyObject* operator[](size_t i) const { return values[i]; }
    bool given(size_t i) const { return values[i] != nullptr; }
    // The value, or nullptr when absent or None.
    PyObject* not_none(size_t i) const { return values[i] == Py_None ? nullptr : values[i]; }
};

// Vectorcall convention (METH_FASTCALL | METH_KEYWORDS).
Status bind_fastcall(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf,
                     PyObject* kwnames, Bound& out);
// Tuple and dict convention (tp_new, tp_init, METH_VARARGS | METH_KEYWORDS).
Status bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, Bound& out);

// A TypeError raised while converting the argument `name` becomes
// TypeError("argument 'name': <message>") caused by the original; other
// errors pass unchanged.
Error argument_error(const char* name, Error err);

// UTF-8 text of a str argument. Not a str: the argument error for `name`.
// The view stays valid as long as the str object lives.
Result<std::string_view> str_argument(PyObject* obj, const char* name);

}  // namespace quillon
