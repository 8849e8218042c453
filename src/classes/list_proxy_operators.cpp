// The + and * operators of ListItem and their in-place forms. + and * build
// their result under "_" of a new private document; += and *= edit in place.
#include <utility>

#include "classes/list_proxy.hpp"
#include "convert/item_ops.hpp"
#include "edits/copied_item.hpp"
#include "edits/list_ops.hpp"
#include "glue/binary_operator.hpp"
#include "glue/boundary.hpp"
#include "refs/item_proxy.hpp"

namespace quillon {
namespace {

bool is_list_item(PyObject* obj) { return is_instance_of(obj, &ModuleState::list_item); }

Error out_of_memory() {
    PyErr_NoMemory();
    return Error::fetch();
}

// Appends deep copies of the elements of `source` to `target`, `times` over,
// each with its own decor and no upkeep. False when the two are not
// sequences of the same kind.
Result<bool> clone_elements_into(const toml::Item& source, toml::Item& target, size_t times) {
    Result<ConstArrayLike> from = as_array_like(source, "copy");
    Result<ArrayLike> to = as_array_like_mut(target, "copy");
    if (!from || !to || from->is_aot != to->is_aot) return false;
    std::vector<toml::Item>& out = to->is_aot ? to->aot->values : to->array->values;
    const std::vector<toml::Item>& in = from->is_aot ? from->aot->values : from->array->values;
    if (!in.empty() && times > (out.max_size() - out.size()) / in.size()) return out_of_memory();
    out.reserve(out.size() + in.size() * times);
    for (size_t round = 0; round < times; ++round) {
        for (size_t i = 0; i < in.size(); ++i) {
            out.push_back(in[i]);
            // A copied table follows whatever precedes it, not its source.
            if (to->is_aot) forget_render_positions(out.back());
        }
    }
    return true;
}

// The detached result built in `model`, as a new ListItem.
PyObject* wrap_result(ModuleState* state, toml::DocumentMut model) {
    Result<PyRef> typed = detached_result(state, std::move(model));
    QUILLON_TRY(typed);
    return typed->release();
}

// a + b, `a` a ListItem: a copy of a's sequence with b's elements after them.
PyObject* add(PyObject* a, PyObject* b) {
    if (!is_list_like(b)) Py_RETURN_NOTIMPLEMENTED;
    Result<toml::Item> own = clone_item(as_proxy(a));
    QUILLON_TRY(own);
    toml::DocumentMut model;
    toml::Item& slot = place_detached(model, std::move(*own));
    if (is_list_item(b)) {
        Result<toml::Item> other = clone_item(as_proxy(b));
        QUILLON_TRY(other);
        Result<bool> same_kind = clone_elements_into(*other, slot, 1);
        QUILLON_TRY(same_kind);
        if (*same_kind) return wrap_result(as_proxy(a)->state(), std::move(model));
    }
    Result<std::vector<toml::Item>> items = extract_items(b);
    QUILLON_TRY(items);
    Result<ArrayLike> seq = as_array_like_mut(slot, "__add__()");
    QUILLON_TRY(seq);
    Status done = item_extend(*seq, std::move(*items));
    QUILLON_TRY(done);
    return wrap_result(as_proxy(a)->state(), std::move(model));
}

// b + a, only `a` a ListItem: b's elements in a fresh sequence of a's kind,
// then copies of a's elements.
PyObject* reflected_add(PyObject* a, PyObject* b) {
    if (!is_list_like(b)) Py_RETURN_NOTIMPLEMENTED;
    Result<std::vector<toml::Item>> items = extract_items(b);
    QUILLON_TRY(items);
    Result<toml::Item> own = clone_item(as_proxy(a));
    QUILLON_TRY(own);
    Result<ConstArrayLike> kind = as_array_like(*own, "__radd__()");
    QUILLON_TRY(kind);
    toml::DocumentMut model;
    toml::Item fresh = kind->is_aot ? toml::Item(toml::ArrayOfTables{}) : toml::Item(toml::Value(toml::Array{}));
    toml::Item& slot = place_detached(model, std::move(fresh));
    Result<ArrayLike> seq = as_array_like_mut(slot, "__radd__()");
    QUILLON_TRY(seq);
    Status done = item_extend(*seq, std::move(*items));
    QUILLON_TRY(done);
    Result<bool> copied = clone_elements_into(*own, slot, 1);
    QUILLON_TRY(copied);
    return wrap_result(as_proxy(a)->state(), std::move(model));
}

// The repeat count of * and *=; nullopt when `n` is not an integer that fits
// a Py_ssize_t.
std::optional<Py_ssize_t> repeat_count(PyObject* n) {
    if (!PyIndex_Check(n)) return std::nullopt;
    Py_ssize_t count = PyNumber_AsSsize_t(n, PyExc_OverflowError);
    if (count == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return std::nullopt;
    }
    return count;
}

PyObject* repeat(PyObject* a, PyObject* n) {
    std::optional<Py_ssize_t> count = repeat_count(n);
    if (!count) Py_RETURN_NOTIMPLEMENTED;
    Result<toml::Item> own = clone_item(as_proxy(a));
    QUILLON_TRY(own);
    toml::DocumentMut model;
    toml::Item& slot = place_detached(model, std::move(*own));
    if (*count <= 0) {
        Status cleared = item_clear(slot);
        QUILLON_TRY(cleared);
    } else if (*count >= 2) {
        toml::Item source = slot;
        Result<bool> copied = clone_elements_into(source, slot, static_cast<size_t>(*count - 1));
        QUILLON_TRY(copied);
    }
    return wrap_result(as_proxy(a)->state(), std::move(model));
}

}  // namespace

PyObject* list_item_add(PyObject* left, PyObject* right) {
    return binary_operator(left, right, is_list_item, add, reflected_add);
}

PyObject* list_item_multiply(PyObject* left, PyObject* right) {
    return binary_operator(left, right, is_list_item, repeat, repeat);
}

// a += b: extend(b); a non-iterable b is an error, not NotImplemented.
PyObject* list_item_inplace_add(PyObject* self, PyObject* other) {
    return boundary([&]() -> PyObject* {
        Status done = list_item_extend_with(self, other);
        QUILLON_TRY(done);
        return Py_NewRef(self);
    });
}

PyObject* list_item_inplace_multiply(PyObject* self, PyObject* n) {
    return boundary([&]() -> PyObject* {
        std::optional<Py_ssize_t> count = repeat_count(n);
        if (!count) Py_RETURN_NOTIMPLEMENTED;
        if (*count == 1) return Py_NewRef(self);
        if (*count <= 0) {
            auto w = ItemWrite::open(as_proxy(self));
            QUILLON_TRY(w);
            Status cleared = item_clear(w->item());
            QUILLON_TRY(cleared);
            w->bump_self();
            return Py_NewRef(self);
        }
        Result<toml::Item> own = clone_item(as_proxy(self));
        QUILLON_TRY(own);
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        Result<bool> copied = clone_elements_into(*own, w->item(), static_cast<size_t>(*count - 1));
        QUILLON_TRY(copied);
        return Py_NewRef(self);
    });
}

}  // namespace quillon
