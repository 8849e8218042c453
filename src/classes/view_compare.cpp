// Membership, equality and the set operators of the views.
#include <optional>
#include <string>
#include <vector>

#include "classes/views.hpp"
#include "convert/equality.hpp"
#include "convert/item_ops.hpp"
#include "edits/dict_ops.hpp"
#include "glue/boundary.hpp"
#include "glue/py_new.hpp"
#include "refs/paths.hpp"

namespace quillon {
namespace {

// collections.abc.Set, looked up for each test.
Result<PyRef> set_abc() {
    PyRef name(PyUnicode_FromString("collections.abc"));
    if (!name) return Error::fetch();
    PyRef module(PyImport_Import(name.get()));
    if (!module) return Error::fetch();
    return new_ref(PyObject_GetAttrString(module.get(), "Set"));
}

// A new Python set of the view's keys at this moment.
Result<PyRef> key_set(PyObject* self) {
    auto ref = ViewRead::open(as_view(self));
    QUILLON_TRY(ref);
    PyRef set(PySet_New(nullptr));
    if (!set) return Error::fetch();
    Status walked = for_each_key(ref->item(), [&](const std::string& key) -> Status {
        Result<PyRef> text = text_to_str(key);
        QUILLON_TRY(text);
        if (PySet_Add(set.get(), text->get()) < 0) return Error::fetch();
        return ok_status();
    });
    QUILLON_TRY(walked);
    return set;
}

// Whether the view's table has a visible entry for `key` that equals `value`.
Result<bool> entry_equals(PyObject* self, const std::string& key, PyObject* value) {
    auto ref = ViewRead::open(as_view(self));
    QUILLON_TRY(ref);
    const toml::EntryMap* items = ref->item().table_like();
    const toml::Item* entry = items ? items->get(key) : nullptr;
    if (!entry) return false;
    return item_eq(*entry, value);
}

// The (key, plain value) pairs of the view's table, in order.
Result<std::vector<PyRef>> plain_pairs(PyObject* self) {
    auto ref = ViewRead::open(as_view(self));
    QUILLON_TRY(ref);
    std::vector<PyRef> pairs;
    Status walked = for_each_key(ref->item(), [&](const std::string& key) -> Status {
        Result<PyRef> text = text_to_str(key);
        QUILLON_TRY(text);
        Result<PyRef> plain = item_to_py(*ref->item().get(key));
        QUILLON_TRY(plain);
        PyRef pair(PyTuple_Pack(2, text->get(), plain->get()));
        if (!pair) return Error::fetch();
        pairs.push_back(std::move(pair));
        return ok_status();
    });
    QUILLON_TRY(walked);
    return pairs;
}

// The pairs are read first and the document released, so that the other
// set's own code runs without the document borrowed.
Result<bool> items_equal(PyObject* self, PyObject* other) {
    Result<PyRef> set_class = set_abc();
    QUILLON_TRY(set_class);
    int is_set = PyObject_IsInstance(other, set_class->get());
    if (is_set < 0) return Error::fetch();
    if (!is_set) return false;
    Result<size_t> length = [&]() -> Result<size_t> {
        auto ref = ViewRead::open(as_view(self));
        QUILLON_TRY(ref);
        std::optional<size_t> n = item_len(ref->item());
        if (!n) return Error::type_error("TOML item has no len()");
        return *n;
    }();
    QUILLON_TRY(length);
    Py_ssize_t other_len = PyObject_Size(other);
    if (other_len < 0) return Error::fetch();
    if (static_cast<size_t>(other_len) != *length) return false;
    Result<std::vector<PyRef>> pairs = plain_pairs(self);
    QUILLON_TRY(pairs);
    if (pairs->size() != *length) return false;  // changed by other's __len__
    for (const PyRef& pair : *pairs) {
        int found = PySequence_Contains(other, pair.get());
        if (found < 0) return Error::fetch();
        if (!found) return false;
    }
    return true;
}

// The string elements of an iterable, as a set of plain str; other elements
// are ignored.
Result<PyRef> string_elements(PyObject* other) {
    PyRef found(PySet_New(nullptr));
    if (!found) return Error::fetch();
    PyRef it(PyObject_GetIter(other));
    if (!it) return Error::fetch();
    while (PyRef element{PyIter_Next(it.get())}) {
        Result<std::optional<std::string>> key = extract_key_str(element.get());
        QUILLON_TRY(key);
        if (!*key) continue;
        Result<PyRef> text = text_to_str(**key);
        QUILLON_TRY(text);
        if (PySet_Add(found.get(), text->get()) < 0) return Error::fetch();
    }
    if (PyErr_Occurred()) return Error::fetch();
    return found;
}

enum class SetOp { Union, SymmetricDifference, Intersection, Difference };

Result<PyRef> keys_set_op(PyObject* self, PyObject* other, SetOp op) {
    Result<PyRef> keys = key_set(self);
    QUILLON_TRY(keys);
    if (op == SetOp::Union || op == SetOp::SymmetricDifference) {
        PyRef other_set = PyRef::borrow(other);
        if (!PySet_Check(other)) {
            other_set = PyRef(PySet_New(other));
            if (!other_set) return Error::fetch();
        }
        // The key set's own operator, whatever the other set's class defines.
        binaryfunc apply = op == SetOp::Union ? PySet_Type.tp_as_number->nb_or : PySet_Type.tp_as_number->nb_xor;
        return new_ref(apply(keys->get(), other_set.get()));
    }
    Result<PyRef> strings = string_elements(other);
    QUILLON_TRY(strings);
    binaryfunc apply = op == SetOp::Intersection ? PySet_Type.tp_as_number->nb_and
                                                 : PySet_Type.tp_as_number->nb_subtract;
    return new_ref(apply(keys->get(), strings->get()));
}

PyObject* keys_set_op_slot(PyObject* left, PyObject* right, SetOp op) {
    return boundary([&]() -> PyObject* {
        if (!is_keys_view(left)) Py_RETURN_NOTIMPLEMENTED;
        Result<PyRef> result = keys_set_op(left, right, op);
        QUILLON_TRY(result);
        return result->release();
    });
}

}  // namespace

int keys_view_contains(PyObject* self, PyObject* key) {
    return boundary<int>(-1, [&]() -> int {
        Result<std::optional<std::string>> text = extract_key_str(key);
        QUILLON_TRY(text);
        if (!*text) return 0;
        auto ref = ViewRead::open(as_view(self));
        QUILLON_TRY(ref);
        Result<bool> present = item_has_key(ref->item(), **text);
        QUILLON_TRY(present);
        return *present ? 1 : 0;
    });
}

int values_view_contains(PyObject* self, PyObject* value) {
    return boundary<int>(-1, [&]() -> int {
        auto ref = ViewRead::open(as_view(self));
        QUILLON_TRY(ref);
        const toml::EntryMap* items = ref->item().table_like();
        if (!items) return fail(unsupported_op(ref->item(), "__contains__"));
        for (const toml::Entry& e : items->entries()) {
            if (e.item.is_none()) continue;
            Result<bool> eq = item_eq(e.item, value);
            QUILLON_TRY(eq);
            if (*eq) return 1;
        }
        return 0;
    });
}

int items_view_contains(PyObject* self, PyObject* pair) {
    return boundary<int>(-1, [&]() -> int {
        if (!PyTuple_Check(pair) || PyTuple_GET_SIZE(pair) != 2) return 0;
        PyRef key = PyRef::borrow(PyTuple_GET_ITEM(pair, 0));
        PyRef value = PyRef::borrow(PyTuple_GET_ITEM(pair, 1));
        Result<std::optional<std::string>> text = extract_key_str(key.get());
        QUILLON_TRY(text);
        if (!*text) return 0;
        Result<bool> equal = entry_equals(self, **text, value.get());
        QUILLON_TRY(equal);
        return *equal ? 1 : 0;
    });
}

PyObject* keys_view_richcompare(PyObject* self, PyObject* other, int op) {
    return boundary([&]() -> PyObject* {
        if (!is_keys_view(self) || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
        if (op == Py_NE) return negated_eq(self, other);
        Result<PyRef> keys = key_set(self);
        QUILLON_TRY(keys);
        return PyObject_RichCompare(keys->get(), other, Py_EQ);
    });
}

PyObject* items_view_richcompare(PyObject* self, PyObject* other, int op) {
    return boundary([&]() -> PyObject* {
        if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
        if (op == Py_NE) return negated_eq(self, other);
        Result<bool> equal = items_equal(self, other);
        QUILLON_TRY(equal);
        return PyBool_FromLong(*equal ? 1 : 0);
    });
}

PyObject* keys_view_or(PyObject* left, PyObject* right) { return keys_set_op_slot(left, right, SetOp::Union); }
PyObject* keys_view_xor(PyObject* left, PyObject* right) {
    return keys_set_op_slot(left, right, SetOp::SymmetricDifference);
}
PyObject* keys_view_and(PyObject* left, PyObject* right) {
    return keys_set_op_slot(left, right, SetOp::Intersection);
}
PyObject* keys_view_sub(PyObject* left, PyObject* right) { return keys_set_op_slot(left, right, SetOp::Difference); }

}  // namespace quillon
