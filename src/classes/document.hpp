// The Document object: owns one TOML model, its mutation trie and its generation.
#pragma once

#include <cstdint>

#include "convert/source_chars.hpp"
#include "glue/module_state.hpp"
#include "glue/py_ref.hpp"
#include "refs/borrow.hpp"
#include "refs/trie.hpp"
#include "toml/model.hpp"
#include "toml/serializer.hpp"

namespace quillon {

struct DocumentObject {
    PyObject_HEAD
    // The state of the module whose class made this document; the class
    // keeps that module, and so the state, alive.
    ModuleState* state;
    BorrowGuard guard;
    toml::DocumentMut inner;
    MutationTrie trie;
    uint64_t generation;
    // The text as_toml() returned last (or null), valid while guard.writes
    // still equals rendered_at.
    PyObject* rendered;
    uint64_t rendered_at;
    // How many of the writes since then marked what they changed for the
    // renderer (see toml::Table); after any other write, as_toml() renders
    // everything afresh.
    uint64_t marked_writes;
    // Character positions in the parsed source str (null when not parsed),
    // for copying unedited stretches out of it when rendering.
    SourceChars* source_chars;
    // Texts that the renderer keeps from one as_toml() for the next.
    toml::RenderCache render_cache;
};

inline bool is_document(PyObject* o) { return is_instance_of(o, &ModuleState::document); }
inline DocumentObject* as_document(PyObject* o) { return reinterpret_cast<DocumentObject*>(o); }

// Wraps a model document in a new Document of the module whose state is
// `state` (empty trie, generation 0).
PyObject* document_from_inner(ModuleState* state, toml::DocumentMut inner);

// Clock and trie operations of a document (callers hold exclusive access).
void record_root_key_change(DocumentObject* doc, const std::string& key);
void record_root_change(DocumentObject* doc);
void bump_range(DocumentObject* doc, const Path& path, size_t start, size_t end);
// RuntimeError "stale: ..." when `generation` is stale for `path`.
Status check_fresh(const DocumentObject* doc, const Path& path, uint64_t generation);

}  // namespace quillon
