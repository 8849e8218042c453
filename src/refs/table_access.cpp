#include "refs/table_access.hpp"

#include "classes/views.hpp"
#include "refs/nesting_guard.hpp"
#include "refs/paths.hpp"

namespace quillon {

namespace {

const Path& root_path() {
    static const Path empty;
    return empty;
}

}  // namespace

Result<TableRead> TableRead::open(PyObject* self) {
    if (!is_document(self)) {
        auto ref = ItemRead::open(as_proxy(self));
        QUILLON_TRY(ref);
        const toml::Item* item = &ref->item();
        return TableRead(std::move(*ref), as_proxy(self)->doc, as_proxy(self)->path, item);
    }
    DocumentObject* doc = as_document(self);
    auto access = ReadBorrow::take(doc->guard);
    QUILLON_TRY(access);
    return TableRead(std::move(*access), self, root_path(), &doc->inner.root);
}

Result<PyRef> TableRead::child(std::string_view key) const {
    return child_proxy_typed(doc_, *path_, PathStep::str(std::string(key)));
}

Result<TableWrite> TableWrite::open(PyObject* self) {
    if (!is_document(self)) {
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        toml::Item* item = &w->item();
        return TableWrite(std::move(*w), as_proxy(self)->doc, as_proxy(self)->path, item);
    }
    // Whatever this call converted or copied goes into the root.
    Status fits = admit_incoming(0);
    QUILLON_TRY(fits);
    DocumentObject* doc = as_document(self);
    auto access = WriteBorrow::take(doc->guard);
    QUILLON_TRY(access);
    // As for an edit through a reference: the table edited renders afresh.
    ++doc->marked_writes;
    doc->inner.root.edited_at();
    return TableWrite(std::move(*access), self, root_path(), &doc->inner.root);
}

void TableWrite::bump_child(std::string key) {
    DocumentObject* doc = as_document(doc_);
    doc->generation += 1;
    doc->trie.record_child(*path_, PathStep::str(std::move(key)), doc->generation);
}

Result<PyRef> TableWrite::child(std::string_view key) const {
    return child_proxy_typed(doc_, *path_, PathStep::str(std::string(key)));
}

Result<PyRef> new_table_view(PyObject* self, PyTypeObject* type) {
    if (is_document(self)) {
        auto access = ReadBorrow::take(as_document(self)->guard);
        QUILLON_TRY(access);
        return make_view(type, self, Path());
    }
    ItemProxyObject* proxy = as_proxy(self);
    auto self_access = ReadBorrow::take(proxy->guard);
    QUILLON_TRY(self_access);
    auto access = ReadBorrow::take(proxy->document()->guard);
    QUILLON_TRY(access);
    Status fresh = check_fresh(proxy->document(), proxy->path, proxy->generation);
    QUILLON_TRY(fresh);
    return make_view(type, proxy->doc, proxy->path);
}

}  // namespace quillon
