// The comment and inline_comment properties of Item: which decor text holds
// the comment depends on how the reference's path ends and on what holds the
// entry, so the properties route to the comment routines by path.
#include <optional>
#include <string>

#include "classes/item_protocol.hpp"
#include "edits/comments.hpp"
#include "glue/args.hpp"
#include "glue/boundary.hpp"
#include "glue/py_new.hpp"
#include "refs/item_proxy.hpp"
#include "refs/paths.hpp"

namespace quillon {
namespace {

PyObject* optional_text(const std::optional<std::string>& text) {
    if (!text) Py_RETURN_NONE;
    return new_str(*text);
}

Path prefix_of(const Path& path, size_t drop) { return Path(path.begin(), path.end() - static_cast<long>(drop)); }

// The setter's value: a str, or None (nullopt). Deleting the attribute is refused.
Result<std::optional<std::string_view>> comment_argument(PyObject* value) {
    if (!value) return Error::attribute_error("can't delete attribute");
    if (value == Py_None) return std::optional<std::string_view>();
    Result<std::string_view> text = str_argument(value, "value");
    QUILLON_TRY(text);
    return std::optional<std::string_view>(*text);
}

// Where the block comment of the referenced entry lives.
enum class BlockRoute {
    ParentKey,       // text key: the table or inline-table routine with (parent, key)
    FirstOfTables,   // [[name]] entry 0: the routine of the array of tables' own key
    Resolved,        // anything else: the resolved item's own prefix
};

BlockRoute block_route(const Path& path, const toml::Item& root) {
    const PathStep& last = path.back();
    if (last.is_str()) return BlockRoute::ParentKey;
    if (last.as_index() == 0 && path.size() >= 2 && path[path.size() - 2].is_str()) {
        auto parent = navigate_path(root, prefix_of(path, 1));
        if (parent && (*parent)->is_array_of_tables()) return BlockRoute::FirstOfTables;
    }
    return BlockRoute::Resolved;
}

std::optional<std::string> read_block_comment(const ItemRead& ref) {
    const Path& path = ref.proxy()->path;
    const toml::Item& root = ref.document()->inner.root;
    switch (block_route(path, root)) {
        case BlockRoute::ParentKey: {
            auto parent = navigate_path(root, prefix_of(path, 1));
            return parent ? get_block_comment(**parent, path.back().as_str()) : std::nullopt;
        }
        case BlockRoute::FirstOfTables: {
            auto grandparent = navigate_path(root, prefix_of(path, 2));
            return grandparent ? get_block_comment(**grandparent, path[path.size() - 2].as_str()) : std::nullopt;
        }
        case BlockRoute::Resolved:
            break;
    }
    return get_item_block_comment(ref.item());
}

Status write_block_comment(ItemWrite& w, std::optional<std::string_view> comment) {
    const Path& path = w.proxy()->path;
    toml::Item& root = w.document()->inner.root;
    switch (block_route(path, root)) {
        case BlockRoute::ParentKey: {
            auto parent = navigate_path_mut(root, prefix_of(path, 1));
            QUILLON_TRY(parent);
            return set_block_comment(**parent, path.back().as_str(), comment);
        }
        case BlockRoute::FirstOfTables: {
            auto grandparent = navigate_path_mut(root, prefix_of(path, 2));
            QUILLON_TRY(grandparent);
            return set_block_comment(**grandparent, path[path.size() - 2].as_str(), comment);
        }
        case BlockRoute::Resolved:
            break;
    }
    return set_item_block_comment(w.item(), comment);
}

}  // namespace

PyObject* item_comment_get(PyObject* self, void*) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(as_proxy(self));
        QUILLON_TRY(ref);
        return optional_text(read_block_comment(*ref));
    });
}

int item_comment_set(PyObject* self, PyObject* value, void*) {
    return boundary<int>(-1, [&]() -> int {
        auto comment = comment_argument(value);
        QUILLON_TRY(comment);
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        Status written = write_block_comment(*w, *comment);
        QUILLON_TRY(written);
        return 0;
    });
}

PyObject* item_inline_comment_get(PyObject* self, void*) {
    return boundary([&]() -> PyObject* {
        auto ref = ItemRead::open(as_proxy(self));
        QUILLON_TRY(ref);
        const Path& path = ref->proxy()->path;
        std::optional<std::string> comment;
        if (path.size() >= 2) {
            auto parent = navigate_path(ref->document()->inner.root, prefix_of(path, 1));
            if (parent) comment = get_element_inline_comment(**parent, path.back());
        }
        if (!comment) comment = get_inline_comment(ref->item());
        return optional_text(comment);
    });
}

int item_inline_comment_set(PyObject* self, PyObject* value, void*) {
    return boundary<int>(-1, [&]() -> int {
        auto text = comment_argument(value);
        QUILLON_TRY(text);
        auto w = ItemWrite::open(as_proxy(self));
        QUILLON_TRY(w);
        std::string stored;
        if (*text) {
            Result<std::string> validated = validate_inline_comment(**text);
            QUILLON_TRY(validated);
            stored = std::move(*validated);
        }
        const Path& path = w->proxy()->path;
        if (path.size() >= 2) {
            auto parent = navigate_path_mut(w->document()->inner.root, prefix_of(path, 1));
            QUILLON_TRY(parent);
            if (set_element_inline_comment(**parent, path.back(), stored)) return 0;
        }
        Status written = set_inline_comment(w->item(), *text);
        QUILLON_TRY(written);
        return 0;
    });
}

}  // namespace quillon
