#include "classes/document.hpp"

#include <new>
#include <optional>
#include <string>

#include "classes/document_members.hpp"
#include "classes/mapping_methods.hpp"
#include "convert/item_ops.hpp"
#include "convert/utf8_to_str.hpp"
#include "convert/value.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/method_def.hpp"
#include "glue/parse_error.hpp"
#include "glue/py_new.hpp"
#include "glue/type_factories.hpp"
#include "refs/nesting_guard.hpp"
#include "refs/paths.hpp"
#include "toml/parser.hpp"
#include "toml/render_output.hpp"
#include "toml/serializer.hpp"

namespace quillon {
namespace {

// A new Document of the module whose state is `state`, owning `inner`, with
// an empty trie and generation 0.
PyObject* new_document(ModuleState* state, toml::DocumentMut inner) {
    PyTypeObject* tp = state->document;
    PyObject* self = tp->tp_alloc(tp, 0);
    if (!self) return nullptr;
    DocumentObject* d = as_document(self);
    d->state = state;
    new (&d->guard) BorrowGuard();
    new (&d->inner) toml::DocumentMut(std::move(inner));
    new (&d->trie) MutationTrie();
    d->generation = 0;
    d->rendered = nullptr;
    d->rendered_at = 0;
    d->marked_writes = 0;
    d->source_chars = nullptr;
    new (&d->render_cache) toml::RenderCache();
    return self;
}

void document_dealloc(PyObject* self) {
    PyTypeObject* tp = Py_TYPE(self);
    DocumentObject* d = as_document(self);
    Py_CLEAR(d->rendered);
    delete d->source_chars;
    d->render_cache.~RenderCache();
    d->trie.~MutationTrie();
    d->inner.~DocumentMut();
    tp->tp_free(self);
    Py_DECREF(tp);
}

// The root table built from a mapping given to the constructor; nullopt when
// `data` cannot be converted (the conversion's own error is discarded).
std::optional<toml::Table> root_table_from_mapping(PyObject* data) {
    ConvertingRoot root;
    Result<toml::Table> table = extract_table(data);
    if (!table) return std::nullopt;
    return std::move(*table);
}

const toml::EntryMap& root_entries(const DocumentObject* d) { return d->inner.root_table().items; }

// ---- constructor and static method ----

constexpr Param kNewParams[] = {{"data", ParamKind::PositionalOrKeyword, false}};
constexpr Signature kNewSignature{"Document.__new__()", kNewParams};

PyObject* document_new(PyTypeObject* tp, PyObject* args, PyObject* kwargs) {
    return boundary([&]() -> PyObject* {
        // Document cannot be subclassed: `tp` is the class of its module.
        auto* state = static_cast<ModuleState*>(PyType_GetModuleState(tp));
        if (!state) return nullptr;
        Bound a;
        QUILLON_TRY(bind_tuple(kNewSignature, args, kwargs, a));
        PyObject* data = a.not_none(0);
        if (!data) return new_document(state, toml::DocumentMut());
        std::optional<toml::Table> root = root_table_from_mapping(data);
        if (!root) {
            PyErr_Clear();
            PyErr_SetString(PyExc_TypeError, "Document() argument must be a mapping or None");
            return nullptr;
        }
        return new_document(state, toml::DocumentMut(std::move(*root)));
    });
}

constexpr Param kParseParams[] = {{"text", ParamKind::PositionalOrKeyword, true}};
constexpr Signature kParseSignature{"Document.parse()", kParseParams};

PyObject* document_parse(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kParseSignature, args, nargs, kwnames, a));
        Result<std::string_view> text = str_argument(a[0], "text");
        QUILLON_TRY(text);
        // The model borrows its texts from the str's UTF-8 form, which lives
        // as long as the str; the document keeps the str (released under the
        // GIL, as documents are).
        Py_INCREF(a[0]);
        std::shared_ptr<const void> owner(a[0], [](const void* s) {
            Py_DECREF(static_cast<PyObject*>(const_cast<void*>(s)));
        });
        auto parsed = toml::parse_document(*text, std::move(owner));
        if (auto* err = std::get_if<toml::TomlError>(&parsed)) return fail(parse_error(*err));
        PyObject* doc = document_from_inner(module_state(module), std::move(std::get<toml::DocumentMut>(parsed)));
        if (doc) as_document(doc)->source_chars = new (std::nothrow) SourceChars(a[0], *text);
        return doc;
    });
}

// ---- reading ----

constexpr Signature kAsTomlSignature{"Document.as_toml()", {}};

PyObject* document_as_toml(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kAsTomlSignature, args, nargs, kwnames, a));
        DocumentObject* d = as_document(self);
        Result<ReadBorrow> access = ReadBorrow::take(d->guard);
        QUILLON_TRY(access);
        // Every edit takes write access, so an unchanged count of writes
        // means the model renders as it did last time.
        if (d->rendered && d->rendered_at == d->guard.writes) return Py_NewRef(d->rendered);
        if (d->guard.writes - d->rendered_at != d->marked_writes) d->inner.root.edited_at();
        toml::RenderOutput out(toml::RenderOutput::WithSpans{}, d->render_cache.output);
        toml::render_document(d->inner, d->render_cache, out);
        d->rendered_at = d->guard.writes;
        d->marked_writes = 0;
        // The source str is used only while the model still holds it.
        SourceChars* source = d->source_chars;
        if (source && d->inner.text_owner.get() != source->str()) source = nullptr;
        PyObject* text = str_from_rendering(out.text(), source);
        if (!text) {
            // The text kept from before no longer stands for the model.
            Py_CLEAR(d->rendered);
            return nullptr;
        }
        Py_XSETREF(d->rendered, Py_NewRef(text));
        return text;
    });
}

// Independent copy: the model is copied, the trie and generation start afresh.
PyObject* copy_document(PyObject* self) {
    DocumentObject* d = as_document(self);
    Result<ReadBorrow> access = ReadBorrow::take(d->guard);
    QUILLON_TRY(access);
    toml::DocumentMut copy = d->inner;
    return document_from_inner(d->state, std::move(copy));
}

constexpr Signature kCopySignature{"Document.__copy__()", {}};

PyObject* document_copy(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kCopySignature, args, nargs, kwnames, a));
        return copy_document(self);
    });
}

constexpr Param kDeepcopyParams[] = {{"_memo", ParamKind::PositionalOrKeyword, false}};
constexpr Signature kDeepcopySignature{"Document.__deepcopy__()", kDeepcopyParams};

PyObject* document_deepcopy(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return boundary([&]() -> PyObject* {
        Bound a;
        QUILLON_TRY(bind_fastcall(kDeepcopySignature, args, nargs, kwnames, a));
        return copy_document(self);
    });
}

PyObject* document_value(PyObject* self, void*) {
    return boundary([&]() -> PyObject* {
        DocumentObject* d = as_document(self);
        Result<ReadBorrow> access = ReadBorrow::take(d->guard);
        QUILLON_TRY(access);
        Result<PyRef> dict = table_to_pydict(root_entries(d));
        QUILLON_TRY(dict);
        return dict->release();
    });
}

Py_ssize_t document_len(PyObject* self) {
    return boundary<Py_ssize_t>(-1, [&]() -> Py_ssize_t {
        DocumentObject* d = as_document(self);
        Result<ReadBorrow> access = ReadBorrow::take(d->guard);
        QUILLON_TRY(access);
        return static_cast<Py_ssize_t>(root_entries(d).len());
    });
}

int document_bool(PyObject* self) {
    return boundary<int>(-1, [&]() -> int {
        DocumentObject* d = as_document(self);
        Result<ReadBorrow> access = ReadBorrow::take(d->guard);
        QUILLON_TRY(access);
        return root_entries(d).is_empty() ? 0 : 1;
    });
}

int document_contains(PyObject* self, PyObject* key) {
    return boundary<int>(-1, [&]() -> int {
        Result<std::optional<std::string>> text = extract_key_str(key);
        QUILLON_TRY(text);
        if (!*text) return 0;
        DocumentObject* d = as_document(self);
        Result<ReadBorrow> access = ReadBorrow::take(d->guard);
        QUILLON_TRY(access);
        return root_entries(d).contains_key(**text) ? 1 : 0;
    });
}

// Iterates over a snapshot of the root keys, so edits during iteration do
// not disturb it.
PyObject* document_iter(PyObject* self) {
    return boundary([&]() -> PyObject* {
        DocumentObject* d = as_document(self);
        Result<ReadBorrow> access = ReadBorrow::take(d->guard);
        QUILLON_TRY(access);
        const toml::EntryMap& entries = root_entries(d);
        PyRef keys(PyList_New(static_cast<Py_ssize_t>(entries.len())));
        if (!keys) return nullptr;
        Py_ssize_t i = 0;
        for (const toml::Entry& entry : entries.entries()) {
            if (entry.item.is_none()) continue;
            const std::string& k = entry.key.key;
            PyObject* s = new_str(k);
            if (!s) return nullptr;
            PyList_SET_ITEM(keys.get(), i++, s);
        }
        return PyObject_GetIter(keys.get());
    });
}

PyObject* document_str(PyObject* self) {
    PyRef dict(document_value(self, nullptr));
    if (!dict) return nullptr;
    return PyObject_Str(dict.get());
}

PyObject* document_repr(PyObject* self) {
    Py_ssize_t n = document_len(self);
    if (n < 0) return nullptr;
    return PyUnicode_FromFormat("Document(%zd keys)", n);
}

// ---- class object ----

constexpr char kDocumentDoc[] =
    "A TOML document that preserves formatting when edited.\n\n"
    "Create an empty document with ``Document()``, or from a dict with\n"
    "``Document({\"key\": \"value\"})``.  To round-trip an existing TOML file\n"
    "use ``Document.parse(text)`` which retains comments and whitespace.";

constexpr char kParseDoc[] =
    "Parse a TOML string into a Document, preserving formatting.\n\n"
    "This is the main entry point for editing existing TOML files:\n"
    "comments, whitespace, and style are retained so that only the\n"
    "values you change are affected when you call ``doc.as_toml()``.";

constexpr char kFmtDoc[] =
    "Normalize formatting of the document's top-level entries.\n\n"
    "This only reformats root-level key/value entries. It does not recurse\n"
    "into nested tables or arrays; call `.fmt()` on a nested `Item` if you\n"
    "want to reformat that value specifically.\n"
    "Useful after mutations that leave awkward top-level whitespace.\n"
    "Note: comments on formatted root-level entries are removed.";

constexpr char kAsTomlDoc[] = "Return the document serialised as a TOML string.";

PyMethodDef document_own_methods[] = {
    method<kAsTomlSignature, kAsTomlDoc>(document_as_toml),
    method<kCopySignature>(document_copy),
    method<kDeepcopySignature>(document_deepcopy),
    method<kClearSignature>(document_clear),
    method<kFmtSignature, kFmtDoc>(document_fmt),
    kMethodsEnd,
};

auto document_methods = with_mapping_methods<MappingClass::Document>(document_own_methods);

PyMethodDef document_static_methods[] = {
    static_method<kParseSignature, kParseDoc>(document_parse),
    kMethodsEnd,
};

PyGetSetDef document_getset[] = {
    {"value", document_value, nullptr, "The entire document as a native Python dict.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot document_slots[] = {
    {Py_tp_doc, const_cast<char*>(class_doc<kNewSignature, kDocumentDoc>())},
    {Py_tp_new, reinterpret_cast<void*>(document_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(document_dealloc)},
    {Py_tp_methods, document_methods.data()},
    {Py_tp_getset, document_getset},
    {Py_tp_repr, reinterpret_cast<void*>(document_repr)},
    {Py_tp_str, reinterpret_cast<void*>(document_str)},
    {Py_tp_iter, reinterpret_cast<void*>(document_iter)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_mp_length, reinterpret_cast<void*>(document_len)},
    {Py_mp_subscript, reinterpret_cast<void*>(document_getitem)},
    {Py_mp_ass_subscript, reinterpret_cast<void*>(document_setitem)},
    {Py_tp_richcompare, reinterpret_cast<void*>(document_richcompare)},
    {Py_nb_or, reinterpret_cast<void*>(mapping_or<MappingClass::Document>)},
    {Py_nb_inplace_or, reinterpret_cast<void*>(mapping_ior<MappingClass::Document>)},
    {Py_sq_contains, reinterpret_cast<void*>(document_contains)},
    {Py_nb_bool, reinterpret_cast<void*>(document_bool)},
    {0, nullptr},
};

#ifdef Py_TPFLAGS_MAPPING
constexpr unsigned int kMappingFlag = Py_TPFLAGS_MAPPING;
#else
constexpr unsigned int kMappingFlag = 0;
#endif

PyType_Spec document_spec = {
    "quillon.Document",
    static_cast<int>(sizeof(DocumentObject)),
    0,
    Py_TPFLAGS_DEFAULT | kMappingFlag,
    document_slots,
};

}  // namespace

PyObject* create_document_type(PyObject* module) {
    PyRef type(PyType_FromModuleAndSpec(module, &document_spec, nullptr));
    if (!type || add_static_methods(type.get(), module, document_static_methods) < 0) return nullptr;
    return type.release();
}

PyObject* document_from_inner(ModuleState* state, toml::DocumentMut inner) {
    return new_document(state, std::move(inner));
}

void record_root_key_change(DocumentObject* doc, const std::string& key) {
    doc->generation += 1;
    doc->trie.record(Path{PathStep::str(key)}, doc->generation);
}

void record_root_change(DocumentObject* doc) {
    doc->generation += 1;
    doc->trie.record(Path{}, doc->generation);
}

void bump_range(DocumentObject* doc, const Path& path, size_t start, size_t end) {
    doc->generation += 1;
    doc->trie.record_range(path, start, end, doc->generation);
}

Status check_fresh(const DocumentObject* doc, const Path& path, uint64_t generation) {
    if (doc->trie.is_valid(path, generation)) return ok_status();
    return Error::runtime_error("stale: the document has been modified since this reference was created");
}

}  // namespace quillon
