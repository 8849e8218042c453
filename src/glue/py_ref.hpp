// Owning handle for a PyObject* (one strong reference).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace quillon {

class PyRef {
public:
    PyRef() noexcept = default;
    // Takes over a new (owned) reference; nullptr allowed.
    explicit PyRef(PyObject* owned) noexcept : p_(owned) {}
    // Adds a reference to a borrowed pointer.
    static PyRef borrow(PyObject* borrowed) noexcept {
        Py_XINCREF(borrowed);
        return PyRef(borrowed);
    }
    PyRef(const PyRef& o) noexcept : p_(o.p_) { Py_XINCREF(p_); }
    PyRef(PyRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    PyRef& operator=(PyRef o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~PyRef() { Py_XDECREF(p_); }

    PyObject* get() const noexcept { return p_; }
    // Hands the reference to the caller.
    PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset(PyObject* owned = nullptr) noexcept { Py_XDECREF(std::exchange(p_, owned)); }

private:
    PyObject* p_ = nullptr;
};

}  // namespace quillon
