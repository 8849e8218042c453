#include "glue/parse_error.hpp"

#include <string>

#include "glue/py_new.hpp"

namespace quillon {
namespace {

Result<PyRef> optional_size(std::optional<size_t> n) {
    if (!n) return PyRef::borrow(Py_None);
    return new_ref(PyLong_FromSize_t(*n));
}

}  // namespace

Error parse_error(const toml::TomlError& err) {
    Result<PyRef> message = text_to_str(err.render());
    QUILLON_TRY(message);
    PyRef exc(PyObject_CallOneArg(PyExc_ValueError, message->get()));
    if (!exc) return Error::fetch();
    auto at = err.position();
    Result<PyRef> lineno = optional_size(at ? std::optional<size_t>(at->line) : std::nullopt);
    QUILLON_TRY(lineno);
    Result<PyRef> colno = optional_size(at ? std::optional<size_t>(at->column) : std::nullopt);
    QUILLON_TRY(colno);
    if (PyObject_SetAttrString(exc.get(), "lineno", lineno->get()) < 0 ||
        PyObject_SetAttrString(exc.get(), "colno", colno->get()) < 0) {
        return Error::fetch();
    }
    PyErr_SetObject(PyExc_ValueError, exc.get());
    return Error::fetch();
}

}  // namespace quillon
