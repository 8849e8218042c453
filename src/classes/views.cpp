#include "classes/views.hpp"

#include <new>
#include <string>
#include <utility>

#include "convert/item_ops.hpp"
#include "edits/dict_ops.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/method_def.hpp"
#include "glue/py_new.hpp"
#include "glue/type_factories.hpp"
#include "refs/item_proxy.hpp"
#include "refs/paths.hpp"

namespace quillon {

Result<PyRef> make_view(PyTypeObject* type, PyObject* doc, Path path) {
    PyObject* self = type->tp_alloc(type, 0);
    if (!self) return Error::fetch();
    ViewObject* v = as_view(self);
    new (&v->guard) BorrowGuard();
    new (&v->path) Path(std::move(path));
    v->doc = Py_NewRef(doc);
    v->generation = as_document(doc)->generation;
    new (&v->live) LiveReference();
    as_document(doc)->trie.hold(v->live, v->path, v->generation);
    return PyRef(self);
}

Result<ViewRead> ViewRead::open(ViewObject* view) {
    auto self = ReadBorrow::take(view->guard);
    QUILLON_TRY(self);
    DocumentObject* doc = view->document();
    auto access = ReadBorrow::take(doc->guard);
    QUILLON_TRY(access);
    auto found = resolve_fresh(doc, view->path, view->generation);
    QUILLON_TRY(found);
    return ViewRead(std::move(*self), std::move(*access), view, *found);
}

namespace {

// What one element of a view's iteration is.
enum class Element { Key, Value, Pair };

Element element_of(PyObject* self) {
    const ModuleState* state = as_view(self)->state();
    if (Py_IS_TYPE(self, state->keys_view)) return Element::Key;
    if (Py_IS_TYPE(self, state->values_view)) return Element::Value;
    return Element::Pair;
}

// The elements of a view at this moment, in entry order: key strings, fresh
// child Items, or (key, child Item) tuples.
Result<PyRef> view_elements(PyObject* self) {
    auto ref = ViewRead::open(as_view(self));
    QUILLON_TRY(ref);
    const Element element = element_of(self);
    PyRef list(PyList_New(0));
    if (!list) return Error::fetch();
    ViewObject* view = ref->view();
    Status walked = for_each_key(ref->item(), [&](const std::string& key) -> Status {
        PyRef entry;
        if (element != Element::Value) {
            Result<PyRef> text = text_to_str(key);
            QUILLON_TRY(text);
            entry = std::move(*text);
        }
        if (element != Element::Key) {
            Result<PyRef> child = child_proxy_typed(view->doc, view->path, PathStep::str(key));
            QUILLON_TRY(child);
            if (element == Element::Pair) {
                entry = PyRef(PyTuple_Pack(2, entry.get(), child->get()));
                if (!entry) return Error::fetch();
            } else {
                entry = std::move(*child);
            }
        }
        if (PyList_Append(list.get(), entry.get()) < 0) return Error::fetch();
        return ok_status();
    });
    QUILLON_TRY(walked);
    return list;
}

Result<size_t> view_len(PyObject* self) {
    auto ref = ViewRead::open(as_view(self));
    QUILLON_TRY(ref);
    std::optional<size_t> n = item_len(ref->item());
    if (!n) return Error::type_error("TOML item has no len()");
    return *n;
}

Py_ssize_t view_len_slot(PyObject* self) {
    return boundary<Py_ssize_t>(-1, [&]() -> Py_ssize_t {
        Result<size_t> n = view_len(self);
        QUILLON_TRY(n);
        return static_cast<Py_ssize_t>(*n);
    });
}

PyObject* view_iter_slot(PyObject* self) {
    return boundary([&]() -> PyObject* {
        Result<PyRef> list = view_elements(self);
        QUILLON_TRY(list);
        return PyObject_GetIter(list->get());
    });
}

constexpr Signature kKeysReversed{"KeysView.__reversed__()", {}};
constexpr Signature kValuesReversed{"ValuesView.__reversed__()", {}};
constexpr Signature kItemsReversed{"ItemsView.__reversed__()", {}};

const Signature& reversed_signature(PyObject* self) {
    switch (element_of(self)) {
        case Element::Key: return kKeysReversed;
        case Element::Value: return kValuesReversed;
        case Element::Pair: break;
    }
    return kItemsReversed;
}

PyObject* view_reversed(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(reversed_signature(self), args, nargs, kwnames, a));
        Result<PyRef> list = view_elements(self);
        QUILLON_TRY(list);
        if (PyList_Reverse(list->get()) < 0) return nullptr;
        return PyObject_GetIter(list->get());
    });
}

// KeysView(['a', 'b']): key texts in single quotes, not escaped.
Result<std::string> keys_repr(PyObject* self) {
    auto ref = ViewRead::open(as_view(self));
    QUILLON_TRY(ref);
    std::string out = "KeysView([";
    bool first = true;
    Status walked = for_each_key(ref->item(), [&](const std::string& key) -> Status {
        if (!first) out += ", ";
        first = false;
        out += '\'';
        out += key;
        out += '\'';
        return ok_status();
    });
    QUILLON_TRY(walked);
    out += "])";
    return out;
}

PyObject* view_repr_slot(PyObject* self) {
    return boundary([&]() -> PyObject* {
        const Element element = element_of(self);
        if (element == Element::Key) {
            Result<std::string> text = keys_repr(self);
            QUILLON_TRY(text);
            Result<PyRef> s = text_to_str(*text);
            QUILLON_TRY(s);
            return s->release();
        }
        Result<size_t> n = view_len(self);
        QUILLON_TRY(n);
        const char* format = element == Element::Value ? "ValuesView(<%zu values>)" : "ItemsView(<%zu items>)";
        return PyUnicode_FromFormat(format, *n);
    });
}

// Views are made only by make_view, which constructs `path` in place and
// stores a strong reference in `doc`.
void view_dealloc(PyObject* self) {
    PyTypeObject* tp = Py_TYPE(self);
    ViewObject* v = as_view(self);
    v->path.~Path();
    if (v->doc) as_document(v->doc)->trie.release(v->live);
    Py_XDECREF(v->doc);
    tp->tp_free(self);
    Py_DECREF(tp);
}

// The three views share one method table; their text signatures are alike.
PyMethodDef view_methods[] = {
    method<kKeysReversed>(view_reversed),
    kMethodsEnd,
};

const char kKeysViewDoc[] = "A live view of the string keys in a TOML table (or the document root).";
const char kValuesViewDoc[] = "A live view of the values in a TOML table (or the document root).";
const char kItemsViewDoc[] = "A live view of the (key, value) pairs in a TOML table (or the document root).";

#define QUILLON_VIEW_COMMON_SLOTS                                              \
    {Py_tp_dealloc, reinterpret_cast<void*>(view_dealloc)},                    \
        {Py_tp_methods, view_methods},                                         \
        {Py_tp_iter, reinterpret_cast<void*>(view_iter_slot)},                 \
        {Py_tp_repr, reinterpret_cast<void*>(view_repr_slot)},                 \
        {Py_mp_length, reinterpret_cast<void*>(view_len_slot)}

PyType_Slot keys_view_slots[] = {
    {Py_tp_doc, const_cast<char*>(kKeysViewDoc)},
    QUILLON_VIEW_COMMON_SLOTS,
    {Py_sq_contains, reinterpret_cast<void*>(keys_view_contains)},
    {Py_tp_richcompare, reinterpret_cast<void*>(keys_view_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_nb_or, reinterpret_cast<void*>(keys_view_or)},
    {Py_nb_xor, reinterpret_cast<void*>(keys_view_xor)},
    {Py_nb_and, reinterpret_cast<void*>(keys_view_and)},
    {Py_nb_subtract, reinterpret_cast<void*>(keys_view_sub)},
    {0, nullptr},
};
PyType_Slot values_view_slots[] = {
    {Py_tp_doc, const_cast<char*>(kValuesViewDoc)},
    QUILLON_VIEW_COMMON_SLOTS,
    {Py_sq_contains, reinterpret_cast<void*>(values_view_contains)},
    {0, nullptr},
};
PyType_Slot items_view_slots[] = {
    {Py_tp_doc, const_cast<char*>(kItemsViewDoc)},
    QUILLON_VIEW_COMMON_SLOTS,
    {Py_sq_contains, reinterpret_cast<void*>(items_view_contains)},
    {Py_tp_richcompare, reinterpret_cast<void*>(items_view_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {0, nullptr},
};

#undef QUILLON_VIEW_COMMON_SLOTS

constexpr int kViewSize = static_cast<int>(sizeof(ViewObject));
constexpr unsigned int kViewFlags = Py_TPFLAGS_DEFAULT | kNoConstructorFlag;

PyType_Spec keys_view_spec = {"quillon.KeysView", kViewSize, 0, kViewFlags, keys_view_slots};
PyType_Spec values_view_spec = {"quillon.ValuesView", kViewSize, 0, kViewFlags, values_view_slots};
PyType_Spec items_view_spec = {"quillon.ItemsView", kViewSize, 0, kViewFlags, items_view_slots};

PyObject* create_view_type(PyObject* module, PyType_Spec* spec) {
    PyObject* type = PyType_FromModuleAndSpec(module, spec, nullptr);
    if (type) disallow_instantiation(type);
    return type;
}

}  // namespace

PyObject* create_keys_view_type(PyObject* module) { return create_view_type(module, &keys_view_spec); }
PyObject* create_values_view_type(PyObject* module) { return create_view_type(module, &values_view_spec); }
PyObject* create_items_view_type(PyObject* module) { return create_view_type(module, &items_view_spec); }

}  // namespace quillon
