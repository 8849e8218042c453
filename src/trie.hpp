// Per-path stamps of the last structural change, deciding staleness of live
// references. A reference is stale when some prefix of its path (root and
// full path included) was stamped after the reference was made.
//
// The trie also knows the stamps that live references hold. A record that no
// live reference is older than, and that no later reference can be older
// than either, condemns nothing; such records are dropped now and then, so
// the trie stays as small as the references that could still be condemned
// need, however many paths were ever changed.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "path.hpp"

namespace quillon {

class MutationTrie {
public:
    // Stamps the node of `path` (creating missing nodes) and drops everything
    // recorded below it.
    void stamp(const Path& path, uint64_t value);
    void stamp_child(const Path& path, const Key& key, uint64_t value);
    // Same answers as stamp_child(path, Index(i), value) for every i in
    // [start, end), in one record.
    void stamp_range(const Path& path, size_t start, size_t end, uint64_t value);
    bool is_valid(const Path& path, uint64_t ref_stamp) const;

    // A live reference made (or refreshed) at `stamp`, and its end. The
    // stamping operations are given the document's clock of the moment.
    void hold(uint64_t stamp);
    void release(uint64_t stamp);

private:
    struct Range {
        size_t start, end;
        uint64_t stamp;
    };
    struct Node {
        uint64_t stamp = 0;
        std::unordered_map<Key, std::unique_ptr<Node>, KeyHash> children;
        std::vector<Range> ranges;  // index ranges below this node, oldest first
    };
    // Stamps held by live references, in increasing order, with their counts.
    class HeldStamps {
    public:
        void add(uint64_t stamp);
        void remove(uint64_t stamp);
        bool empty() const { return head_ == held_.size(); }
        uint64_t oldest() const { return held_[head_].first; }

    private:
        void compact();
        std::vector<std::pair<uint64_t, size_t>> held_;
        size_t head_ = 0;   // entries before it have count 0
        size_t zeros_ = 0;  // entries at or after head_ with count 0
    };

    Node* walk_create(const Path& path);
    Node* child_create(Node* node, const Key& key);
    static void set(Node* node, uint64_t value) {
        node->stamp = value;
        node->children.clear();
        node->ranges.clear();
    }
    // Drops what condemns nothing once enough was added since the last time.
    void after_stamp(uint64_t value);
    static bool prune(Node& node, uint64_t floor, size_t& kept);

    Node root_;
    HeldStamps held_;
    size_t records_ = 0;  // nodes and ranges, counted when added
    size_t prune_at_ = kMinPrune;
    static constexpr size_t kMinPrune = 256;
};

}  // namespace quillon
