// The Python-facing side of update and merge: turning update arguments into
// key/item pairs or into a TOML source, before the target is borrowed for
// writing, and applying them afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <variant>

#include "classes/document.hpp"
#include "edits/dict_ops.hpp"
#include "refs/path.hpp"

namespace quillon {

// A DictItem, a Document, a dict (or subclass of any of them), or an instance
// of collections.abc.Mapping. Never fails: errors count as false.
bool is_mapping_like(PyObject* obj);

// Pairs of a dict in its own order, keys read with extract_key_str and values
// converted with extract_item. A dict changed by the conversions stops the
// walk with RuntimeError "dictionary changed size during iteration" or
// "dictionary keys changed during iteration".
Result<UpdatePairs> dict_to_pairs(PyObject* dict);
// A dict as above; another mapping through its items(); anything else as an
// iterable of pairs.
Result<UpdatePairs> extract_update_pairs(PyObject* other);

// A place in another document, read when the merge is applied.
struct DocumentRef {
    PyRef document;  // a DocumentObject
    Path path;
    // The generation of the Item that named the place; none for a whole Document.
    // Checked again when the merge is applied, since code run between the
    // resolution and the write may have changed the other document.
    std::optional<uint64_t> generation;
};
// Where a merge reads from: an owned copy of a model item, or a reference.
using TomlSource = std::variant<toml::Item, DocumentRef>;

struct ResolvedUpdate {
    std::variant<TomlSource, UpdatePairs> source;

    // Writes into `target` (whose document, `doc`, is borrowed for writing);
    // returns the keys that held a value before.
    Result<ReplacedKeys> apply(toml::Item& target, toml::DocumentMut* doc = nullptr) &&;
};

// Resolves an update argument for a target in `target_document`. An Item of
// the same document is copied now (so reading it cannot clash with writing);
// an Item or Document of another document is referenced.
Result<ResolvedUpdate> resolve_update(PyObject* other, DocumentObject* target_document);

// The arguments of update(other, **kwargs) made ready before the target is
// borrowed for writing: `other` resolved (None counts as absent) and the
// keyword arguments turned into pairs.
struct PendingUpdate {
    std::optional<ResolvedUpdate> other;
    UpdatePairs keywords;

    static Result<PendingUpdate> prepare(PyObject* other, PyObject* kwargs, DocumentObject* target_document);
    // Applies `other`, then the keywords; the replaced keys of both, in order.
    Result<ReplacedKeys> apply(toml::Item& target, toml::DocumentMut* doc = nullptr) &&;
};

// Merges `other` (an Item, a Document, or anything extract_update_pairs
// accepts) into `target`, which belongs to no document yet (or to `doc`, the
// new document being made).
Result<ReplacedKeys> merge_other_into(toml::Item& target, PyObject* other, toml::DocumentMut* doc = nullptr);

// A new dict with the entries of a mapping in order; values are the objects
// themselves, string keys (str or string Items) become plain str.
Result<PyRef> copy_mapping_to_pydict(PyObject* mapping);

// `other | x` for a mapping `other`: copy_mapping_to_pydict(other), updated
// with the dict that `read_own()` returns (read after the copy is made).
template <class ReadOwn>
Result<PyRef> copy_mapping_updated(PyObject* other, ReadOwn&& read_own) {
    Result<PyRef> result = copy_mapping_to_pydict(other);
    if (!result) return result;
    Result<PyRef> own = read_own();
    if (!own) return own;
    if (PyDict_Update(result->get(), own->get()) < 0) return Error::fetch();
    return result;
}

}  // namespace quillon
