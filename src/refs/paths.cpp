#include "refs/paths.hpp"

#include "convert/item.hpp"
#include "refs/item_proxy.hpp"

namespace quillon {

namespace {

Error path_no_longer_valid() { return Error::key_error("path no longer valid"); }

// Element `i` of an array-like item, or nullptr.
template <class ItemT>
ItemT* element_at(ItemT& item, size_t i) {
    if (auto* v = item.as_value()) {
        if (auto* arr = v->as_array()) return i < arr->values.size() ? &arr->values[i] : nullptr;
        return nullptr;
    }
    if (auto* aot = item.as_array_of_tables()) return i < aot->values.size() ? &aot->values[i] : nullptr;
    return nullptr;
}

}  // namespace

Result<const toml::Item*> navigate_path(const toml::Item& root, const Path& path) {
    const toml::Item* cur = &root;
    for (const PathStep& step : path) {
        cur = step.is_str() ? cur->get(step.as_str()) : element_at(*cur, step.as_index());
        if (!cur) return path_no_longer_valid();
    }
    return cur;
}

Result<toml::Item*> navigate_path_mut(toml::Item& root, const Path& path) {
    // The walk is taken for an edit of the item it reaches: the tables it
    // passes through, and all of that item, cannot render from their source
    // text any more.
    toml::Item* cur = &root;
    for (const PathStep& step : path) {
        cur->edited_through();
        cur = step.is_str() ? cur->index_mut(step.as_str()) : element_at(*cur, step.as_index());
        if (!cur) return path_no_longer_valid();
    }
    cur->edited_at();
    return cur;
}

Result<const toml::Item*> resolve_fresh(const DocumentObject* doc, const Path& path, uint64_t generation) {
    Status fresh = check_fresh(doc, path, generation);
    QUILLON_TRY(fresh);
    return navigate_path(doc->inner.root, path);
}

Result<std::optional<std::string>> extract_key_str(PyObject* obj) {
    if (PyUnicode_Check(obj)) {
        Py_ssize_t n = 0;
        const char* s = PyUnicode_AsUTF8AndSize(obj, &n);
        if (!s) return Error::fetch();
        return std::optional<std::string>(std::in_place, s, static_cast<size_t>(n));
    }
    if (!is_item_proxy(obj)) return std::optional<std::string>();
    auto ref = ReferencedItem::open(as_proxy(obj));
    QUILLON_TRY(ref);
    const toml::Value* v = ref->item().as_value();
    const auto* s = v ? v->as_string() : nullptr;
    if (!s) return std::optional<std::string>();
    return std::optional<std::string>(s->value);
}

}  // namespace quillon
