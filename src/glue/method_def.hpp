// Method table entries built from the Signature that binds the member's
// arguments, so that the text signature Python shows (inspect.signature,
// help()) and the binding rules cannot drift apart:
//
//     constexpr Param kGetParams[] = {...};
//     constexpr Signature kGetSignature{"Document.get()", kGetParams};
//     constexpr char kGetDoc[] = "Return the value for key ...";
//
//     PyMethodDef methods[] = {
//         method<kGetSignature, kGetDoc>(document_get),   // "get($self, key, default=None, /)"
//         kMethodsEnd,
//     };
//     PyMethodDef static_methods[] = {
//         static_method<kParseSignature>(document_parse), // "parse(text)"
//         kMethodsEnd,
//     };
//
// The docstrings are computed at compile time; nothing is built at run time.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "glue/args.hpp"

namespace quillon {

inline constexpr char kNoDoc[] = "";

// Vectorcall method: PyObject* f(PyObject* self, PyObject* const* args,
// Py_ssize_t nargs, PyObject* kwnames).
using FastcallFunction = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

namespace signature_text {

// The docstring's text signature is spelled with the member's own name, or
// the class name for a constructor ("Document.__new__()" gives "Document").
constexpr std::string_view shown_name(std::string_view full_name) {
    std::string_view name = full_name.substr(0, full_name.find('('));
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return name;
    std::string_view member = name.substr(dot + 1);
    return member == "__new__" ? name.substr(0, dot) : member;
}

constexpr bool is_constructor(std::string_view full_name) {
    return full_name.find(".__new__(") != std::string_view::npos;
}

// Writes the docstring into `out` (when given) and returns its length:
// "name($self, a, b=None, /, c, *, d=4, **kw)\n--\n\n" followed by `body`.
constexpr size_t write(const Signature& sig, bool takes_self, std::string_view body, char* out) {
    size_t at = 0;
    auto put = [&](std::string_view text) {
        for (char c : text) {
            if (out) out[at] = c;
            ++at;
        }
    };
    bool first = true;
    auto next = [&] {
        if (!first) put(", ");
        first = false;
    };
    put(shown_name(sig.full_name));
    put("(");
    if (takes_self && !is_constructor(sig.full_name)) {
        next();
        put("$self");
    }
    bool positional_only = false;
    bool keyword_only_marked = false;
    for (const Param& p : sig.params) {
        if (p.kind != ParamKind::PositionalOnly && positional_only) {
            next();
            put("/");
            positional_only = false;
        }
        if (p.kind == ParamKind::KeywordOnly && !keyword_only_marked) {
            keyword_only_marked = true;
            if (!sig.var_positional) {
                next();
                put("*");
            }
        }
        if (p.kind == ParamKind::PositionalOnly) positional_only = true;
        next();
        put(p.name);
        if (!p.required) {
            put("=");
            put(p.default_text);
        }
    }
    if (positional_only) {
        next();
        put("/");
    }
    if (sig.var_positional) {
        next();
        put("*");
        put(sig.var_positional);
    }
    if (sig.var_keyword) {
        next();
        put("**");
        put(sig.var_keyword);
    }
    put(")\n--\n\n");
    put(body);
    return at;
}

template <const Signature& S, const char* Body, bool TakesSelf>
struct Docstring {
    static constexpr size_t kSize = write(S, TakesSelf, Body, nullptr);
    static constexpr std::array<char, kSize + 1> kText = [] {
        std::array<char, kSize + 1> text{};
        write(S, TakesSelf, Body, text.data());
        return text;
    }();
};

template <const Signature& S>
struct Name {
    static constexpr std::string_view kView = shown_name(S.full_name);
    static constexpr std::array<char, kView.size() + 1> kText = [] {
        std::array<char, kView.size() + 1> text{};
        for (size_t i = 0; i < kView.size(); ++i) text[i] = kView[i];
        return text;
    }();
};

}  // namespace signature_text

// The one place where a vectorcall function is stored as a PyCFunction.
inline PyCFunction as_cfunction(FastcallFunction function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

template <const Signature& S, const char* Body = kNoDoc>
PyMethodDef method(FastcallFunction function) {
    return {signature_text::Name<S>::kText.data(), as_cfunction(function), METH_FASTCALL | METH_KEYWORDS,
            signature_text::Docstring<S, Body, true>::kText.data()};
}

// A static method, for add_static_methods (module_state.hpp): the table entry
// carries no METH_STATIC, since the function is bound to the module.
template <const Signature& S, const char* Body = kNoDoc>
PyMethodDef static_method(FastcallFunction function) {
    return {signature_text::Name<S>::kText.data(), as_cfunction(function), METH_FASTCALL | METH_KEYWORDS,
            signature_text::Docstring<S, Body, false>::kText.data()};
}

// The class docstring, opened by the constructor's text signature.
template <const Signature& S, const char* Body>
constexpr const char* class_doc() {
    return signature_text::Docstring<S, Body, false>::kText.data();
}

inline constexpr PyMethodDef kMethodsEnd = {nullptr, nullptr, 0, nullptr};

}  // namespace quillon
