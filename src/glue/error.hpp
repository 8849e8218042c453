// Result-or-error values for internal routines. An Error is built only on the
// failure path and raised as a Python exception at the method boundary.
//
// Every failure travels the same way:
//
//     Result<PyRef> converted = to_python(item);
//     QUILLON_TRY(converted);              // or QUILLON_TRY(some_status_call());
//     ...
//     return fail(Error::type_error("..."));
//
// In an internal routine (returning Result<T> or Status) the Error is handed
// back to the caller. In an entry point the interpreter calls (returning
// PyObject*, int or Py_ssize_t) it is raised there and the slot's failure value
// (nullptr or -1) is returned: that is the only place an Error is raised.
#pragma once

#include <concepts>
#include <string>
#include <utility>
#include <variant>

#include "glue/py_ref.hpp"

namespace quillon {

class Error {
public:
    // Exception of `type` whose single argument is the str `message`.
    Error(PyObject* type, std::string message) : type_(type), message_(std::move(message)) {}
    // Exception of `type` whose single argument is `arg` (e.g. KeyError(key)).
    static Error with_arg(PyObject* type, PyRef arg) {
        Error e(type, std::string());
        e.arg_ = std::move(arg);
        return e;
    }
    // Takes over the exception currently raised in the interpreter.
    static Error fetch() {
        PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
        PyErr_Fetch(&type, &value, &tb);
        if (!type) return Error(PyExc_SystemError, "error return without exception set");
        PyErr_NormalizeException(&type, &value, &tb);
        if (tb && value) PyException_SetTraceback(value, tb);
        Py_XDECREF(type);
        Py_XDECREF(tb);
        Error e(nullptr, std::string());
        e.exc_ = PyRef(value);
        return e;
    }

    static Error type_error(std::string m) { return Error(PyExc_TypeError, std::move(m)); }
    static Error value_error(std::string m) { return Error(PyExc_ValueError, std::move(m)); }
    static Error key_error(std::string m) { return Error(PyExc_KeyError, std::move(m)); }
    static Error index_error(std::string m) { return Error(PyExc_IndexError, std::move(m)); }
    static Error runtime_error(std::string m) { return Error(PyExc_RuntimeError, std::move(m)); }
    static Error attribute_error(std::string m) { return Error(PyExc_AttributeError, std::move(m)); }

    // The exception type (for fetched exceptions, the type of the instance).
    PyObject* type() const {
        return exc_ ? reinterpret_cast<PyObject*>(Py_TYPE(exc_.get())) : type_;
    }
    bool is(PyObject* exc_type) const { return PyErr_GivenExceptionMatches(type(), exc_type); }

    // Sets the interpreter's error indicator and returns nullptr. Entry points
    // reach it through `fail` / QUILLON_TRY rather than directly.
    PyObject* raise() && {
        if (exc_) {
            PyObject* exc = exc_.release();
            PyObject* tb = PyException_GetTraceback(exc);
            PyErr_Restore(Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(exc))), exc, tb);
        } else if (arg_) {
            PyErr_SetObject(type_, arg_.get());
        } else {
            PyRef msg(PyUnicode_FromStringAndSize(message_.data(), static_cast<Py_ssize_t>(message_.size())));
            if (msg) PyErr_SetObject(type_, msg.get());
        }
        return nullptr;
    }
    // Builds the exception instance without raising it.
    PyRef to_exception() && {
        std::move(*this).raise();
        Error e = fetch();
        return std::move(e.exc_);
    }
    const std::string& message() const { return message_; }

private:
    PyObject* type_;
    std::string message_;
    PyRef arg_;
    PyRef exc_;
};

// Result of an internal routine: a value or an Error.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error err) : v_(std::in_place_index<1>, std::move(err)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() & { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    T* operator->() { return &value(); }
    Error& error() & { return std::get<1>(v_); }
    Error&& error() && { return std::get<1>(std::move(v_)); }

private:
    std::variant<T, Error> v_;
};

struct Unit {};
using Status = Result<Unit>;
inline Status ok_status() { return Status(Unit{}); }

// A failure on its way out of the enclosing function; it becomes whatever
// that function returns (see the top of this file).
class [[nodiscard]] Failure {
public:
    explicit Failure(Error err) : error_(std::move(err)) {}

    template <class T>
    operator Result<T>() && { return Result<T>(std::move(error_)); }
    // Routines that build an Error report a failure to build it instead.
    operator Error() && { return std::move(error_); }
    // Object slots: the exception is raised, nullptr returned.
    operator PyObject*() && { return std::move(error_).raise(); }
    // int and Py_ssize_t slots: the exception is raised, -1 returned.
    template <std::signed_integral I>
    operator I() && {
        std::move(error_).raise();
        return -1;
    }

private:
    Error error_;
};

inline Failure fail(Error err) { return Failure(std::move(err)); }

}  // namespace quillon

// Returns the failure of `result` (a Result or Status, evaluated once) from the
// enclosing function; does nothing when it holds a value.
#define QUILLON_TRY(result)                                                    \
    do {                                                                       \
        if (auto&& quillon_try_result_ = (result); !quillon_try_result_)       \
            return ::quillon::fail(std::move(quillon_try_result_).error());    \
    } while (0)
