#include "classes/mapping_methods.hpp"

#include <optional>
#include <string>
#include <utility>

#include "convert/item.hpp"
#include "convert/item_ops.hpp"
#include "edits/comments_on_removal.hpp"
#include "edits/dict_ops.hpp"
#include "edits/dict_update.hpp"
#include "glue/args.hpp"
#include "glue/binary_operator.hpp"
#include "glue/boundary.hpp"
#include "glue/key_errors.hpp"
#include "glue/kinds.hpp"
#include "glue/method_def.hpp"
#include "glue/py_new.hpp"
#include "refs/paths.hpp"
#include "refs/table_access.hpp"
#include "refs/visible_entries.hpp"

namespace quillon {
namespace {

// ---- signatures ----

constexpr Param kKeyAndDefault[] = {{"key", ParamKind::PositionalOnly, true},
                                    {"default", ParamKind::PositionalOnly, false}};
constexpr Param kKey[] = {{"key", ParamKind::PositionalOnly, true}};
constexpr Param kOther[] = {{"other", ParamKind::PositionalOnly, false}};

template <MappingClass C>
struct MappingSignatures;

// Only the class name in front differs between the classes. The signatures
// are static members, so that a method-table row can name each one.
#define QUILLON_MAPPING_SIGNATURES(C, cls)                                                          \
    template <>                                                                                     \
    struct MappingSignatures<C> {                                                                   \
        static constexpr Signature get{cls ".get()", kKeyAndDefault};                               \
        static constexpr Signature pop{cls ".pop()", kKey, /*var_positional=*/"default"};          \
        static constexpr Signature popitem{cls ".popitem()", {}};                                   \
        static constexpr Signature setdefault{cls ".setdefault()", kKeyAndDefault};                 \
        static constexpr Signature update{cls ".update()", kOther, /*var_positional=*/nullptr,      \
                                          /*var_keyword=*/"kwargs"};                                \
        static constexpr Signature keys{cls ".keys()", {}};                                         \
        static constexpr Signature values{cls ".values()", {}};                                     \
        static constexpr Signature items{cls ".items()", {}};                                       \
    };

QUILLON_MAPPING_SIGNATURES(MappingClass::Document, "Document")
QUILLON_MAPPING_SIGNATURES(MappingClass::DictItem, "DictItem")

#undef QUILLON_MAPPING_SIGNATURES

template <MappingClass C>
bool is_own(PyObject* obj) {
    if constexpr (C == MappingClass::Document) {
        return is_document(obj);
    } else {
        return is_instance_of(obj, &ModuleState::dict_item);
    }
}

// ---- reading ----

PyObject* get(const Bound& a, PyObject* self) {
    PyObject* fallback = a.given(1) ? a[1] : Py_None;
    auto text = extract_key_str(a[0]);
    QUILLON_TRY(text);
    if (!*text) return Py_NewRef(fallback);
    auto ref = TableRead::open(self);
    QUILLON_TRY(ref);
    Result<bool> present = item_has_key(ref->item(), **text);
    QUILLON_TRY(present);
    if (!*present) return Py_NewRef(fallback);
    Result<PyRef> child = ref->child(**text);
    QUILLON_TRY(child);
    return child->release();
}

// ---- removal ----

// The plain value of an entry about to be removed. It is made before the
// removal, so that a value Python cannot represent (a date in year 0) leaves
// the entry where it was.
Result<PyRef> plain_copy(const toml::Item* entry) {
    if (!entry) return PyRef();
    return item_to_py(*entry);
}

// The last visible entry of a table-like item: the one popitem removes.
const toml::Item* last_visible_item(const toml::Item& item) {
    const toml::EntryMap* items = item.table_like();
    const toml::Entry* last = items ? last_visible_entry(*items) : nullptr;
    return last ? &last->item : nullptr;
}

// A missing key gives the default when one was given; other errors are
// raised regardless.
PyObject* pop(const Bound& a, PyObject* self) {
    PyObject* first_extra = a.var_positional.empty() ? nullptr : a.var_positional[0];
    Result<PyObject*> fallback = extract_pop_default(a.var_positional.size(), first_extra);
    QUILLON_TRY(fallback);
    auto text = extract_key_str(a[0]);
    QUILLON_TRY(text);
    if (!*text) {
        if (*fallback) return Py_NewRef(*fallback);
        return fail(non_string_key(a[0]));
    }
    bool missing = false;  // only a missing key gives way to the default
    Result<PyRef> removed = [&]() -> Result<PyRef> {
        auto w = TableWrite::open(self);
        QUILLON_TRY(w);
        Result<PyRef> plain = plain_copy(w->item().get(**text));
        if (!plain) return plain;
        keep_comment_lines_before_removal(w->model(), w->item(), **text);
        Status taken = table_remove(w->item(), **text);
        if (!taken) {
            missing = taken.error().is(PyExc_KeyError);
            return std::move(taken).error();
        }
        keep_emptied_table_visible(w->item());
        w->bump_child(std::move(**text));
        return plain;
    }();
    if (!removed) {
        if (*fallback && missing) return Py_NewRef(*fallback);
        return fail(std::move(removed).error());
    }
    return removed->release();
}

PyObject* popitem(const Bound&, PyObject* self) {
    Result<std::pair<std::string, PyRef>> popped = [&]() -> Result<std::pair<std::string, PyRef>> {
        auto w = TableWrite::open(self);
        QUILLON_TRY(w);
        Result<PyRef> plain = plain_copy(last_visible_item(w->item()));
        QUILLON_TRY(plain);
        keep_comment_lines_before_popitem(w->model(), w->item());
        auto taken = item_popitem(w->item());
        QUILLON_TRY(taken);
        keep_emptied_table_visible(w->item());
        w->bump_child(taken->first);
        return std::pair<std::string, PyRef>(std::move(taken->first), std::move(*plain));
    }();
    QUILLON_TRY(popped);
    PyRef key(new_str(popped->first));
    if (!key) return nullptr;
    return PyTuple_Pack(2, key.get(), popped->second.get());
}

// ---- writing ----

// The default is converted first, whether or not the key exists.
PyObject* setdefault(const Bound& a, PyObject* self) {
    std::optional<toml::Item> fallback;
    if (PyObject* given = a.not_none(1)) {
        Result<toml::Item> converted = extract_item(given);
        if (!converted) return fail(argument_error("default", std::move(converted).error()));
        fallback.emplace(std::move(*converted));
    }
    auto text = extract_key_str(a[0]);
    QUILLON_TRY(text);
    if (!*text) return fail(keys_must_be_strings());
    auto w = TableWrite::open(self);
    QUILLON_TRY(w);
    Result<bool> present = item_has_key(w->item(), **text);
    QUILLON_TRY(present);
    if (!*present) {
        if (!fallback) {
            return fail(Error::type_error("setdefault() requires a default value: TOML has no null type"));
        }
        set_with_decor_preservation(w->item(), **text, std::move(*fallback));
    }
    Result<PyRef> child = w->child(**text);
    QUILLON_TRY(child);
    return child->release();
}

// update(other, **kwargs): every argument is converted before the document is
// borrowed for writing; each overwritten key is recorded as changed, in write order.
Status update_table(PyObject* self, PyObject* other, PyObject* kwargs) {
    Result<PendingUpdate> pending = PendingUpdate::prepare(other, kwargs, table_document(self));
    QUILLON_TRY(pending);
    auto w = TableWrite::open(self);
    QUILLON_TRY(w);
    Result<ReplacedKeys> replaced = std::move(*pending).apply(w->item(), &w->model());
    QUILLON_TRY(replaced);
    for (std::string& key : *replaced) w->bump_child(std::move(key));
    return ok_status();
}

PyObject* update(const Bound& a, PyObject* self) {
    Status done = update_table(self, a[0], a.var_keyword.get());
    QUILLON_TRY(done);
    Py_RETURN_NONE;
}

// ---- merge operators ----

// self | other: a Document gives a new Document holding a copy of its model;
// a DictItem gives a copy of its table placed under "_" of a new private
// document. Then other is merged into the copy.
PyObject* merged_copy(PyObject* self, PyObject* other) {
    if (!is_mapping_like(other)) Py_RETURN_NOTIMPLEMENTED;
    const bool whole_document = is_document(self);
    toml::DocumentMut model;
    toml::Item* copy = &model.root;
    {
        auto ref = TableRead::open(self);
        QUILLON_TRY(ref);
        if (whole_document) {
            model = ref->model();
        } else {
            copy = &place_detached(model, ref->item());
        }
    }
    Result<ReplacedKeys> merged = merge_other_into(*copy, other, &model);
    QUILLON_TRY(merged);
    ModuleState* state = table_document(self)->state;
    if (whole_document) return document_from_inner(state, std::move(model));
    Result<PyRef> typed = detached_result(state, std::move(model));
    QUILLON_TRY(typed);
    return typed->release();
}

// other | self: a plain dict of other's entries, overwritten by self's values.
PyObject* merged_dict(PyObject* self, PyObject* other) {
    if (!is_mapping_like(other)) Py_RETURN_NOTIMPLEMENTED;
    Result<PyRef> result = copy_mapping_updated(other, [&]() -> Result<PyRef> {
        auto ref = TableRead::open(self);
        QUILLON_TRY(ref);
        const toml::EntryMap* items = ref->item().table_like();
        if (!items) return unsupported_op(ref->item(), "|");
        return table_to_pydict(*items);
    });
    QUILLON_TRY(result);
    return result->release();
}

// ---- views ----

PyObject* view(PyObject* self, PyTypeObject* type) {
    Result<PyRef> made = new_table_view(self, type);
    QUILLON_TRY(made);
    return made->release();
}

PyObject* keys(const Bound&, PyObject* self) { return view(self, table_document(self)->state->keys_view); }
PyObject* values(const Bound&, PyObject* self) { return view(self, table_document(self)->state->values_view); }
PyObject* items(const Bound&, PyObject* self) { return view(self, table_document(self)->state->items_view); }

// ---- members ----

using MemberBody = PyObject* (*)(const Bound& args, PyObject* self);

// A member: binds the arguments against its class's signature `sig`, then
// runs `body`.
template <const Signature& sig, MemberBody body>
PyObject* member(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(sig, args, nargs, kwnames, a));
        return body(a, self);
    });
}

}  // namespace

template <MappingClass C>
PyObject* mapping_or(PyObject* left, PyObject* right) {
    return binary_operator(left, right, is_own<C>, merged_copy, merged_dict);
}

template <MappingClass C>
PyObject* mapping_ior(PyObject* self, PyObject* other) {
    return boundary([&]() -> PyObject* {
        if (!is_own<C>(self)) Py_RETURN_NOTIMPLEMENTED;
        Status done = update_table(self, other, nullptr);
        QUILLON_TRY(done);
        return Py_NewRef(self);
    });
}

template <MappingClass C>
std::array<PyMethodDef, kMappingMethodCount> mapping_method_defs() {
    using S = MappingSignatures<C>;
    return {{
        method<S::get>(member<S::get, get>),
        method<S::pop>(member<S::pop, pop>),
        method<S::popitem>(member<S::popitem, popitem>),
        method<S::keys>(member<S::keys, keys>),
        method<S::values>(member<S::values, values>),
        method<S::items>(member<S::items, items>),
        method<S::update>(member<S::update, update>),
        method<S::setdefault>(member<S::setdefault, setdefault>),
    }};
}

#define QUILLON_INSTANTIATE_MAPPING_METHODS(C)                                                         \
    template PyObject* mapping_or<C>(PyObject*, PyObject*);                                            \
    template PyObject* mapping_ior<C>(PyObject*, PyObject*);                                           \
    template std::array<PyMethodDef, kMappingMethodCount> mapping_method_defs<C>();

QUILLON_INSTANTIATE_MAPPING_METHODS(MappingClass::Document)
QUILLON_INSTANTIATE_MAPPING_METHODS(MappingClass::DictItem)

#undef QUILLON_INSTANTIATE_MAPPING_METHODS

}  // namespace quillon
