#include "refs/item_proxy.hpp"

#include <cstring>
#include <new>

#include "classes/item_protocol.hpp"
#include "convert/item_ops.hpp"
#include "edits/comments.hpp"
#include "edits/copied_item.hpp"
#include "glue/args.hpp"
#include "glue/parse_error.hpp"
#include "glue/type_factories.hpp"
#include "refs/nesting_guard.hpp"
#include "refs/paths.hpp"
#include "toml/parser.hpp"

namespace quillon {
namespace {

PyTypeObject* narrowed_class(const ModuleState& state, const toml::Item& item) {
    if (item.is_table_like()) return state.dict_item;
    if (item.is_array_like()) return state.list_item;
    return state.scalar_item;
}

// The inline comment that the array or inline table holding the designated
// element keeps for it ("# note"), if any.
std::optional<std::string> element_inline_comment(const Path& path, const toml::Item& root) {
    if (path.size() < 2) return std::nullopt;
    Path parent_path(path.begin(), path.end() - 1);
    auto parent = navigate_path(root, parent_path);
    if (!parent) return std::nullopt;
    return get_element_inline_comment(**parent, path.back());
}

}  // namespace

// ---- references ----

// No access is taken here: callers either hold access to the document already
// or own a document nobody else can see yet.
Result<PyRef> into_typed(PyObject* doc, Path path, uint64_t generation) {
    auto found = navigate_path(as_document(doc)->inner.root, path);
    QUILLON_TRY(found);
    PyTypeObject* tp = narrowed_class(*as_document(doc)->state, **found);
    PyObject* self = tp->tp_alloc(tp, 0);
    if (!self) return Error::fetch();
    ItemProxyObject* p = as_proxy(self);
    new (&p->guard) BorrowGuard();
    new (&p->path) Path(std::move(path));
    p->doc = Py_NewRef(doc);
    p->generation = generation;
    new (&p->live) LiveReference();
    as_document(doc)->trie.hold(p->live, p->path, p->generation);
    return PyRef(self);
}

Result<PyRef> make_child_typed(PyObject* doc, const Path& parent_path, uint64_t generation, PathStep&& key) {
    Path path;
    path.reserve(parent_path.size() + 1);  // one allocation
    path.assign(parent_path.begin(), parent_path.end());
    path.push_back(std::move(key));
    return into_typed(doc, std::move(path), generation);
}

Result<PyRef> child_proxy_typed(PyObject* doc, const Path& parent_path, PathStep&& key) {
    return make_child_typed(doc, parent_path, as_document(doc)->generation, std::move(key));
}

Result<toml::Item> clone_item(ItemProxyObject* proxy) {
    auto ref = ItemRead::open(proxy);
    QUILLON_TRY(ref);
    toml::Item copy = ref->item();
    if (toml::Value* v = copy.as_value()) {
        fit_copied_value_decor(*v, element_inline_comment(proxy->path, proxy->document()->inner.root));
    } else {
        forget_render_positions(copy);
    }
    return copy;
}

Result<PyRef> resolve_proxy(PyObject* obj) {
    if (!is_item_proxy(obj)) return PyRef();
    auto ref = ItemRead::open(as_proxy(obj));
    QUILLON_TRY(ref);
    return item_to_py(ref->item());
}

Result<PyRef> parse_as(ModuleState* state, PyObject* text, const char* class_name, PyTypeObject* required_class,
                       const char* kind_word) {
    Result<std::string_view> source = str_argument(text, "text");
    QUILLON_TRY(source);
    auto parsed = toml::parse_value(*source);
    if (auto* err = std::get_if<toml::TomlError>(&parsed)) return parse_error(*err);
    toml::DocumentMut model;
    model.root_table().items.push_back(toml::Key("_"), toml::Item(std::move(std::get<toml::Value>(parsed))));
    PyRef doc(document_from_inner(state, std::move(model)));
    if (!doc) return Error::fetch();
    auto typed = into_typed(doc.get(), Path{PathStep::str("_")}, 0);
    if (!typed || !class_name || Py_IS_TYPE(typed->get(), required_class)) return typed;
    const char* got = Py_TYPE(typed->get())->tp_name;
    if (const char* dot = std::strrchr(got, '.')) got = dot + 1;
    return Error::value_error(std::string(class_name) + ".parse() requires a " + kind_word + " value, got " + got);
}

toml::Item& place_detached(toml::DocumentMut& model, toml::Item item) {
    model.root_table().items.push_back(toml::Key("_"), std::move(item));
    return *model.root_table().items.get("_");
}

Result<PyRef> detached_result(ModuleState* state, toml::DocumentMut model) {
    // What the operands brought lies below "_".
    Status fits = admit_incoming(1);
    QUILLON_TRY(fits);
    PyRef doc(document_from_inner(state, std::move(model)));
    if (!doc) return Error::fetch();
    return into_typed(doc.get(), Path{PathStep::str("_")}, 0);
}

// ---- access ----

Result<ItemRead> ItemRead::open(ItemProxyObject* proxy) {
    auto self = ReadBorrow::take(proxy->guard);
    QUILLON_TRY(self);
    DocumentObject* doc = proxy->document();
    auto access = ReadBorrow::take(doc->guard);
    QUILLON_TRY(access);
    auto found = resolve_fresh(doc, proxy->path, proxy->generation);
    QUILLON_TRY(found);
    return ItemRead(std::move(*self), std::move(*access), proxy, *found);
}

Result<ItemWrite> ItemWrite::open(ItemProxyObject* proxy) {
    // Whatever this call converted or copied goes below this reference.
    Status fits = admit_incoming(proxy->path.size());
    QUILLON_TRY(fits);
    auto self = ReadBorrow::take(proxy->guard);
    QUILLON_TRY(self);
    DocumentObject* doc = proxy->document();
    auto access = WriteBorrow::take(doc->guard);
    QUILLON_TRY(access);
    // Whatever this write changes lies on its path, which the walk below
    // marks for the renderer.
    ++doc->marked_writes;
    // The read-only walk first, so that a path that no longer resolves cannot
    // leave placeholder entries behind.
    auto found = resolve_fresh(doc, proxy->path, proxy->generation);
    QUILLON_TRY(found);
    auto target = navigate_path_mut(doc->inner.root, proxy->path);
    QUILLON_TRY(target);
    return ItemWrite(std::move(*self), std::move(*access), proxy, *target);
}

void ItemWrite::bump_child(const PathStep& key) {
    DocumentObject* doc = document();
    doc->generation += 1;
    doc->trie.record_child(proxy_->path, key, doc->generation);
}

void ItemWrite::bump_self() {
    DocumentObject* doc = document();
    doc->generation += 1;
    doc->trie.record(proxy_->path, doc->generation);
    proxy_->generation = doc->generation;
}

void ItemWrite::bump_range(size_t start, size_t end) {
    DocumentObject* doc = document();
    quillon::bump_range(doc, proxy_->path, start, end);
    proxy_->generation = doc->generation;
}

void ItemWrite::bump_affected(const Affected& affected) {
    switch (affected.kind) {
        case Affected::Kind::Nothing:
            return;
        case Affected::Kind::Step:
            bump_child(affected.key);
            return;
        case Affected::Kind::Range:
            bump_range(affected.start, affected.end);
            return;
    }
}

// ---- class object ----

namespace {

const char kItemDoc[] =
    "A live reference to a TOML value inside a Document.\n\n"
    "Items are obtained by indexing a Document or another Item:\n\n"
    "    port = doc[\"server\"][\"port\"]\n"
    "    doc[\"server\"][\"port\"] = 8080\n\n"
    "Every Item is one of three concrete subtypes \xe2\x80\x94 ``DictItem`` for tables,\n"
    "``ListItem`` for arrays, or ``ScalarItem`` for plain values \xe2\x80\x94 which can\n"
    "be narrowed with ``isinstance`` if needed.  Without narrowing, the full\n"
    "set of dict-like, list-like, and scalar methods is available directly\n"
    "on Item and will raise at runtime if called on the wrong kind.\n\n"
    "Under the hood, an Item is really a path into the Document. An Item can\n"
    "become stale when a mutation to the Document changes the value that the\n"
    "Item points at.  Using a stale Item raises a ``RuntimeError``.";

// Instances are made only by the module, which constructs `path` in place and
// stores a strong reference in `doc`; DictItem, ListItem and ScalarItem share
// this deallocation.
void item_proxy_dealloc(PyObject* self) {
    PyTypeObject* tp = Py_TYPE(self);
    ItemProxyObject* p = as_proxy(self);
    p->path.~Path();
    if (p->doc) as_document(p->doc)->trie.release(p->live);
    Py_XDECREF(p->doc);
    tp->tp_free(self);
    Py_DECREF(tp);
}

PyType_Slot item_slots[] = {
    {Py_tp_doc, const_cast<char*>(kItemDoc)},
    {Py_tp_dealloc, reinterpret_cast<void*>(item_proxy_dealloc)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_methods, item_methods},
    {Py_tp_getset, item_getset},
    {Py_tp_repr, reinterpret_cast<void*>(item_repr_slot)},
    {Py_tp_str, reinterpret_cast<void*>(item_str_slot)},
    {Py_tp_iter, reinterpret_cast<void*>(item_iter_slot)},
    {Py_tp_richcompare, reinterpret_cast<void*>(item_richcompare_slot)},
    {Py_mp_length, reinterpret_cast<void*>(item_len_slot)},
    {Py_mp_subscript, reinterpret_cast<void*>(item_getitem_slot)},
    {Py_mp_ass_subscript, reinterpret_cast<void*>(item_setitem_slot)},
    {Py_sq_contains, reinterpret_cast<void*>(item_contains_slot)},
    {Py_nb_bool, reinterpret_cast<void*>(item_bool_slot)},
    {0, nullptr},
};

PyType_Spec item_spec = {
    "quillon.Item",
    static_cast<int>(sizeof(ItemProxyObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | kNoConstructorFlag,
    item_slots,
};

}  // namespace

PyObject* create_item_type(PyObject* module) {
    PyRef type(PyType_FromModuleAndSpec(module, &item_spec, nullptr));
    if (!type || add_static_methods(type.get(), module, item_static_methods) < 0) return nullptr;
    disallow_instantiation(type.get());
    return type.release();
}

}  // namespace quillon
