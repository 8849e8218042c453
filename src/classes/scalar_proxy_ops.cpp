#include "classes/scalar_proxy_ops.hpp"

#include "classes/item_protocol.hpp"
#include "convert/item_ops.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/module_state.hpp"
#include "refs/item_proxy.hpp"

namespace quillon {
namespace {

bool is_scalar_item(PyObject* o) { return is_instance_of(o, &ModuleState::scalar_item); }

// The plain value. The access to the document ends on return, so the
// operation applied to the value may run any Python code, edits included.
Result<PyRef> plain_value(PyObject* self) {
    auto ref = ItemRead::open(as_proxy(self));
    QUILLON_TRY(ref);
    return item_to_py(ref->item());
}

// The function's current binding in its module: a caller that replaced it
// sees the replacement (the import finds the module already loaded).
Result<PyRef> module_function(const char* module, const char* name) {
    PyRef module_name(PyUnicode_InternFromString(module));
    if (!module_name) return Error::fetch();
    // sys.modules first; the full import machinery only when it is missing.
    PyRef mod(PyImport_GetModule(module_name.get()));
    if (!mod && !PyErr_Occurred()) mod.reset(PyImport_Import(module_name.get()));
    if (!mod) return Error::fetch();
    PyRef function(PyObject_GetAttrString(mod.get(), name));
    if (!function) return Error::fetch();
    return function;
}

PyObject* call(const PyRef& function, PyObject* a) { return PyObject_CallOneArg(function.get(), a); }

PyObject* call(const PyRef& function, PyObject* a, PyObject* b, PyObject* c = nullptr) {
    PyObject* args[] = {a, b, c};
    return PyObject_Vectorcall(function.get(), args, c ? 3 : 2, nullptr);
}

PyObject* unary(PyObject* self, const char* module, const char* name) {
    return boundary([&]() -> PyObject* {
        if (!is_scalar_item(self)) return fail(Error::type_error("descriptor requires a 'ScalarItem' object"));
        Result<PyRef> function = module_function(module, name);
        QUILLON_TRY(function);
        Result<PyRef> v = plain_value(self);
        QUILLON_TRY(v);
        return call(*function, v->get());
    });
}

// The left operand's value meets the right operand as given; when that is not
// implemented, the left operand meets the right operand's value. An Item on
// the right thus gets its own turn through its reflected slot.
PyObject* binary(PyObject* left, PyObject* right, const char* module, const char* name,
                 PyObject* modulus = nullptr) {
    return boundary([&]() -> PyObject* {
        bool left_scalar = is_scalar_item(left);
        bool right_scalar = is_scalar_item(right);
        if (!left_scalar && !right_scalar) Py_RETURN_NOTIMPLEMENTED;
        Result<PyRef> function = module_function(module, name);
        QUILLON_TRY(function);
        PyRef third;
        if (modulus && modulus != Py_None) {
            Result<PyRef> resolved = resolve_proxy(modulus);
            QUILLON_TRY(resolved);
            third = *resolved ? std::move(*resolved) : PyRef::borrow(modulus);
        }
        if (left_scalar) {
            Result<PyRef> v = plain_value(left);
            QUILLON_TRY(v);
            PyRef result(call(*function, v->get(), right, third.get()));
            if (!result) return nullptr;
            if (result.get() != Py_NotImplemented) return result.release();
        }
        if (!right_scalar) Py_RETURN_NOTIMPLEMENTED;
        Result<PyRef> v = plain_value(right);
        QUILLON_TRY(v);
        return call(*function, left, v->get(), third.get());
    });
}

// The name of the value's type for messages; "unknown" when it cannot be had.
std::string type_name_of(PyObject* v) {
    PyRef name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(v)), "__name__"));
    if (name && PyUnicode_Check(name.get())) {
        Py_ssize_t n = 0;
        if (const char* text = PyUnicode_AsUTF8AndSize(name.get(), &n)) return std::string(text, static_cast<size_t>(n));
    }
    PyErr_Clear();
    return "unknown";
}


}  // namespace

PyObject* scalar_add(PyObject* l, PyObject* r) { return binary(l, r, "operator", "add"); }
PyObject* scalar_subtract(PyObject* l, PyObject* r) { return binary(l, r, "operator", "sub"); }
PyObject* scalar_multiply(PyObject* l, PyObject* r) { return binary(l, r, "operator", "mul"); }
PyObject* scalar_true_divide(PyObject* l, PyObject* r) { return binary(l, r, "operator", "truediv"); }
PyObject* scalar_floor_divide(PyObject* l, PyObject* r) { return binary(l, r, "operator", "floordiv"); }
PyObject* scalar_remainder(PyObject* l, PyObject* r) { return binary(l, r, "operator", "mod"); }
PyObject* scalar_power(PyObject* l, PyObject* r, PyObject* m) { return binary(l, r, "builtins", "pow", m); }

PyObject* scalar_negative(PyObject* self) { return unary(self, "operator", "neg"); }
PyObject* scalar_positive(PyObject* self) { return unary(self, "operator", "pos"); }
PyObject* scalar_absolute(PyObject* self) { return unary(self, "operator", "abs"); }
PyObject* scalar_invert(PyObject* self) { return unary(self, "operator", "invert"); }
PyObject* scalar_index(PyObject* self) { return unary(self, "operator", "index"); }
PyObject* scalar_int(PyObject* self) { return unary(self, "builtins", "int"); }
PyObject* scalar_float(PyObject* self) { return unary(self, "builtins", "float"); }

Py_hash_t scalar_hash(PyObject* self) {
    return boundary<Py_hash_t>(-1, [&]() -> Py_hash_t {
        Result<PyRef> v = plain_value(self);
        QUILLON_TRY(v);
        return PyObject_Hash(v->get());
    });
}

int scalar_contains(PyObject* self, PyObject* x) {
    return boundary<int>(-1, [&]() -> int {
        Result<PyRef> function = module_function("operator", "contains");
        QUILLON_TRY(function);
        Result<PyRef> v = plain_value(self);
        QUILLON_TRY(v);
        Result<PyRef> resolved = resolve_proxy(x);
        QUILLON_TRY(resolved);
        PyRef found(call(*function, v->get(), *resolved ? resolved->get() : x));
        if (!found) return -1;
        return PyObject_IsTrue(found.get());
    });
}

PyObject* scalar_richcompare(PyObject* self, PyObject* other, int op) {
    // == and != compare content, as for every Item.
    if (op == Py_EQ || op == Py_NE) return item_richcompare_slot(self, other, op);
    return boundary([&]() -> PyObject* {
        if (!is_scalar_item(self)) Py_RETURN_NOTIMPLEMENTED;
        Result<PyRef> v = plain_value(self);
        QUILLON_TRY(v);
        return PyObject_RichCompare(v->get(), other, op);
    });
}

PyObject* scalar_getattro(PyObject* self, PyObject* name) {
    PyObject* found = PyObject_GenericGetAttr(self, name);
    if (found || !PyErr_ExceptionMatches(PyExc_AttributeError)) return found;
    PyErr_Clear();
    return boundary([&]() -> PyObject* {
        Result<std::string_view> text = str_argument(name, "name");
        QUILLON_TRY(text);
        Result<PyRef> v = plain_value(self);
        QUILLON_TRY(v);
        PyObject* attribute = PyObject_GetAttr(v->get(), name);
        if (attribute || !PyErr_ExceptionMatches(PyExc_AttributeError)) return attribute;
        PyErr_Clear();
        return fail(Error::attribute_error("'ScalarItem' wrapping " + type_name_of(v->get()) +
                                                " has no attribute '" + std::string(*text) + "'"));
    });
}

PyObject* scalar_format(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kFormatSignature, args, nargs, kwnames, a));
        Result<std::string_view> spec = str_argument(a[0], "spec");
        QUILLON_TRY(spec);
        Result<PyRef> v = plain_value(self);
        QUILLON_TRY(v);
        PyRef method_name(PyUnicode_InternFromString("__format__"));
        if (!method_name) return nullptr;
        return PyObject_CallMethodOneArg(v->get(), method_name.get(), a[0]);
    });
}

}  // namespace quillon
