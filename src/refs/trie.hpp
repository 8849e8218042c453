// Per-path generations of the last structural change, deciding staleness of
// live references. A document counts its changes (its generation); a reference
// remembers the generation it was made at, and is stale when some prefix of its
// path (root and full path included) changed at a later generation.
//
// The trie also knows the live references of its document. A record that no
// live reference below its path is older than, and that no later reference
// can be older than either, condemns nothing; such records are dropped now
// and then, so the trie stays about as small as the live references need,
// however many paths were ever changed.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "refs/path.hpp"

namespace quillon {

// The link of a live reference (Item or view) into its document's trie. The
// trie reads the reference's path and generation when it drops records.
struct LiveReference {
    LiveReference* prev = nullptr;
    LiveReference* next = nullptr;
    const Path* path = nullptr;
    const uint64_t* generation = nullptr;
    bool linked = false;
};

class MutationTrie {
public:
    // Stamps the node of `path` (creating missing nodes) and drops everything
    // recorded below it.
    void record(const Path& path, uint64_t value);
    void record_child(const Path& path, const PathStep& key, uint64_t value);
    // Same answers as record_child(path, Index(i), value) for every i in
    // [start, end), in one record.
    void record_range(const Path& path, size_t start, size_t end, uint64_t value);
    bool is_valid(const Path& path, uint64_t ref_generation) const;

    // A live reference starts or ends; `ref` stays at its address meanwhile.
    // Its generation may only grow (a refresh sets it to the generation).
    void hold(LiveReference& ref, const Path& path, const uint64_t& generation);
    void release(LiveReference& ref);

private:
    struct Range {
        size_t start, end;
        uint64_t generation;
    };
    struct Node {
        uint64_t generation = 0;
        std::unordered_map<PathStep, std::unique_ptr<Node>, PathStepHash> children;
        std::vector<Range> ranges;  // index ranges below this node, oldest first
        // While pruning: the oldest generation of the live references whose path
        // runs through or ends at this node, and of those that go on below
        // it (only they can be condemned by its index ranges).
        uint64_t oldest_ref = UINT64_MAX;
        uint64_t oldest_below = UINT64_MAX;
    };
    Node* walk_create(const Path& path);
    Node* child_create(Node* node, const PathStep& key);
    static void set(Node* node, uint64_t value) {
        node->generation = value;
        node->children.clear();
        node->ranges.clear();
    }
    // Drops what condemns nothing once enough was added since the last time.
    void after_record(uint64_t value);
    static bool prune(Node& node, uint64_t generation, size_t& kept);

    Node root_;
    LiveReference* first_ref_ = nullptr;
    size_t live_refs_ = 0;
    size_t records_ = 0;  // nodes and ranges, counted when added
    size_t prune_at_ = kMinPrune;
    static constexpr size_t kMinPrune = 256;
};

}  // namespace quillon
