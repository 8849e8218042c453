#include "trie.hpp"

namespace quillon {

MutationTrie::Node* MutationTrie::walk_create(const Path& path) {
    Node* node = &root_;
    for (const Key& k : path) {
        auto& child = node->children[k];
        if (!child) child = std::make_unique<Node>();
        node = child.get();
    }
    return node;
}

void MutationTrie::stamp(const Path& path, uint64_t value) { set(walk_create(path), value); }

void MutationTrie::stamp_child(const Path& path, const Key& key, uint64_t value) {
    Node* node = walk_create(path);
    auto& child = node->children[key];
    if (!child) child = std::make_unique<Node>();
    set(child.get(), value);
}

bool MutationTrie::is_valid(const Path& path, uint64_t ref_stamp) const {
    if (ref_stamp < root_.stamp) return false;
    const Node* node = &root_;
    for (const Key& k : path) {
        auto it = node->children.find(k);
        if (it == node->children.end()) return true;
        node = it->second.get();
        if (node->stamp > ref_stamp) return false;
    }
    return true;
}

}  // namespace quillon
