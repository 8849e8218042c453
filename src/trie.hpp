// Per-path stamps of the last structural change, deciding staleness of live
// references. A reference is stale when some prefix of its path (root and
// full path included) was stamped after the reference was made.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "path.hpp"

namespace quillon {

class MutationTrie {
public:
    // Stamps the node of `path` (creating missing nodes) and drops everything
    // recorded below it.
    void stamp(const Path& path, uint64_t value);
    void stamp_child(const Path& path, const Key& key, uint64_t value);
    bool is_valid(const Path& path, uint64_t ref_stamp) const;
    uint64_t root_stamp() const { return root_.stamp; }

private:
    struct Node {
        uint64_t stamp = 0;
        std::unordered_map<Key, std::unique_ptr<Node>, KeyHash> children;
    };
    Node* walk_create(const Path& path);
    static void set(Node* node, uint64_t value) {
        node->stamp = value;
        node->children.clear();
    }
    Node root_;
};

}  // namespace quillon
