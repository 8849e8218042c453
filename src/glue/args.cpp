#include "glue/args.hpp"

#include <string>
#include <vector>

namespace quillon {
namespace {

struct Shape {
    size_t positional = 0;           // positional-only plus positional-or-keyword
    size_t required_positional = 0;  // leading positional parameters without a default
    size_t positional_only = 0;
};

Shape shape_of(const Signature& sig) {
    Shape s;
    for (const Param& p : sig.params) {
        if (p.kind == ParamKind::KeywordOnly) continue;
        ++s.positional;
        if (p.required) ++s.required_positional;
        if (p.kind == ParamKind::PositionalOnly) ++s.positional_only;
    }
    return s;
}

// 'a'; 'a' and 'b'; 'a', 'b', and 'c'
void append_name_list(std::string& msg, const std::vector<std::string>& names) {
    const size_t n = names.size();
    for (size_t i = 0; i < n; ++i) {
        if (i != 0) {
            if (n > 2) msg += ',';
            msg += (i == n - 1) ? " and " : " ";
        }
        msg += '\'';
        msg += names[i];
        msg += '\'';
    }
}

Error too_many_positional(const Signature& sig, const Shape& s, size_t given) {
    std::string msg = sig.full_name;
    if (s.required_positional != s.positional) {
        msg += " takes from " + std::to_string(s.required_positional) + " to " +
               std::to_string(s.positional);
    } else {
        msg += " takes " + std::to_string(s.positional);
    }
    msg += " positional arguments but " + std::to_string(given) + (given == 1 ? " was" : " were") +
           " given";
    return Error::type_error(std::move(msg));
}

Error missing_required(const Signature& sig, const char* kind, const std::vector<std::string>& names) {
    std::string msg = sig.full_name;
    msg += " missing " + std::to_string(names.size()) + " required " + kind +
           (names.size() == 1 ? " argument: " : " arguments: ");
    append_name_list(msg, names);
    return Error::type_error(std::move(msg));
}

Error named_error(const Signature& sig, const char* what, std::string_view name) {
    std::string msg = sig.full_name;
    msg += what;
    msg += '\'';
    msg += name;
    msg += '\'';
    return Error::type_error(std::move(msg));
}

std::string_view name_text(PyObject* name) {
    Py_ssize_t len = 0;
    const char* s = PyUnicode_Check(name) ? PyUnicode_AsUTF8AndSize(name, &len) : nullptr;
    if (!s) {
        PyErr_Clear();
        return "?";
    }
    return std::string_view(s, static_cast<size_t>(len));
}

// Index of the parameter called `name`, or npos.
constexpr size_t npos = static_cast<size_t>(-1);
size_t find_param(const Signature& sig, PyObject* name) {
    if (!PyUnicode_Check(name)) return npos;
    for (size_t i = 0; i < sig.params.size(); ++i) {
        if (PyUnicode_CompareWithASCIIString(name, sig.params[i].name) == 0) return i;
    }
    return npos;
}

// Shared second half of both conventions: keywords, then missing checks.
template <class NextKeyword>
Status bind_common(const Signature& sig, const Shape& s, PyObject* const* args, size_t nargs,
                   NextKeyword&& next_keyword, Bound& out) {
    if (nargs > s.positional && !sig.var_positional) return too_many_positional(sig, s, nargs);
    const size_t taken = nargs < s.positional ? nargs : s.positional;
    for (size_t i = 0; i < taken; ++i) out.values[i] = args[i];
    out.var_positional = std::span<PyObject* const>(args + taken, nargs - taken);

    std::vector<std::string> positional_only_as_keyword;
    PyObject* name = nullptr;
    PyObject* value = nullptr;
    while (next_keyword(name, value)) {
        size_t i = find_param(sig, name);
        bool positional_only = i != npos && sig.params[i].kind == ParamKind::PositionalOnly;
        if (i != npos && !positional_only) {
            if (out.values[i]) return named_error(sig, " got multiple values for argument ", name_text(name));
            out.values[i] = value;
            continue;
        }
        if (sig.var_keyword) {
            if (!out.var_keyword) {
                out.var_keyword = PyRef(PyDict_New());
                if (!out.var_keyword) return Error::fetch();
            }
            if (PyDict_SetItem(out.var_keyword.get(), name, value) < 0) return Error::fetch();
            continue;
        }
        if (positional_only) {
            positional_only_as_keyword.emplace_back(name_text(name));
            continue;
        }
        return named_error(sig, " got an unexpected keyword argument ", name_text(name));
    }
    if (!positional_only_as_keyword.empty()) {
        std::string msg = sig.full_name;
        msg += " got some positional-only arguments passed as keyword arguments: ";
        append_name_list(msg, positional_only_as_keyword);
        return Error::type_error(std::move(msg));
    }

    std::vector<std::string> missing;
    for (size_t i = 0; i < sig.params.size(); ++i) {
        const Param& p = sig.params[i];
        if (p.kind != ParamKind::KeywordOnly && p.required && !out.values[i]) missing.emplace_back(p.name);
    }
    if (!missing.empty()) return missing_required(sig, "positional", missing);
    for (size_t i = 0; i < sig.params.size(); ++i) {
        const Param& p = sig.params[i];
        if (p.kind == ParamKind::KeywordOnly && p.required && !out.values[i]) missing.emplace_back(p.name);
    }
    if (!missing.empty()) return missing_required(sig, "keyword", missing);
    return ok_status();
}

}  // namespace

Status bind_fastcall(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf,
                     PyObject* kwnames, Bound& out) {
    const size_t nargs = static_cast<size_t>(PyVectorcall_NARGS(nargsf));
    const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    Py_ssize_t k = 0;
    auto next = [&](PyObject*& name, PyObject*& value) {
        if (k >= nkw) return false;
        name = PyTuple_GET_ITEM(kwnames, k);
        value = args[nargs + static_cast<size_t>(k)];
        ++k;
        return true;
    };
    return bind_common(sig, shape_of(sig), args, nargs, next, out);
}

Status bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, Bound& out) {
    const size_t nargs = args ? static_cast<size_t>(PyTuple_GET_SIZE(args)) : 0;
    PyObject* const* items = args ? reinterpret_cast<PyTupleObject*>(args)->ob_item : nullptr;
    Py_ssize_t pos = 0;
    auto next = [&](PyObject*& name, PyObject*& value) {
        return kwargs != nullptr && PyDict_Next(kwargs, &pos, &name, &value) != 0;
    };
    return bind_common(sig, shape_of(sig), items, nargs, next, out);
}

Error argument_error(const char* name, Error err) {
    if (!err.is(PyExc_TypeError)) return err;
    PyRef original = std::move(err).to_exception();
    if (!original) return Error::fetch();
    PyRef text(PyObject_Str(original.get()));
    if (!text) return Error::fetch();
    PyRef msg(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
    if (!msg) return Error::fetch();
    PyRef wrapped(PyObject_CallOneArg(PyExc_TypeError, msg.get()));
    if (!wrapped) return Error::fetch();
    PyException_SetCause(wrapped.get(), original.release());  // steals
    PyErr_SetObject(PyExc_TypeError, wrapped.get());
    return Error::fetch();
}

Result<std::string_view> str_argument(PyObject* obj, const char* name) {
    if (!PyUnicode_Check(obj)) {
        PyRef qualname(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__"));
        if (!qualname) return Error::fetch();
        PyErr_Format(PyExc_TypeError, "'%S' object cannot be converted to 'PyString'", qualname.get());
        return argument_error(name, Error::fetch());
    }
    Py_ssize_t len = 0;
    const char* s = PyUnicode_AsUTF8AndSize(obj, &len);
    if (!s) return Error::fetch();
    return std::string_view(s, static_cast<size_t>(len));
}

}  // namespace quillon
