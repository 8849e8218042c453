#include "refs/trie.hpp"

#include <algorithm>

namespace quillon {

// ---- live references ----

void MutationTrie::hold(LiveReference& ref, const Path& path, const uint64_t& generation) {
    ref.path = &path;
    ref.generation = &generation;
    ref.prev = nullptr;
    ref.next = first_ref_;
    if (first_ref_) first_ref_->prev = &ref;
    first_ref_ = &ref;
    ref.linked = true;
    ++live_refs_;
}

void MutationTrie::release(LiveReference& ref) {
    if (!ref.linked) return;
    if (ref.prev) {
        ref.prev->next = ref.next;
    } else {
        first_ref_ = ref.next;
    }
    if (ref.next) ref.next->prev = ref.prev;
    ref.linked = false;
    --live_refs_;
}

// ---- records ----

MutationTrie::Node* MutationTrie::child_create(Node* node, const PathStep& key) {
    auto& child = node->children[key];
    if (!child) {
        child = std::make_unique<Node>();
        ++records_;
    }
    return child.get();
}

MutationTrie::Node* MutationTrie::walk_create(const Path& path) {
    Node* node = &root_;
    for (const PathStep& k : path) node = child_create(node, k);
    return node;
}

void MutationTrie::record(const Path& path, uint64_t value) {
    set(walk_create(path), value);
    after_record(value);
}

void MutationTrie::record_child(const Path& path, const PathStep& key, uint64_t value) {
    set(child_create(walk_create(path), key), value);
    after_record(value);
}

void MutationTrie::record_range(const Path& path, size_t start, size_t end, uint64_t value) {
    if (start >= end) return;
    Node* node = walk_create(path);
    // Older ranges inside the new one can no longer decide anything.
    while (!node->ranges.empty() && node->ranges.back().start >= start && node->ranges.back().end <= end) {
        node->ranges.pop_back();
    }
    node->ranges.push_back(Range{start, end, value});
    ++records_;
    after_record(value);
}

bool MutationTrie::is_valid(const Path& path, uint64_t ref_generation) const {
    if (ref_generation < root_.generation) return false;
    const Node* node = &root_;
    for (const PathStep& k : path) {
        if (k.is_index()) {
            // Ranges are in generation order: only the newest ones can be newer
            // than the reference.
            size_t i = k.as_index();
            for (auto r = node->ranges.rbegin(); r != node->ranges.rend() && r->generation > ref_generation; ++r) {
                if (r->start <= i && i < r->end) return false;
            }
        }
        auto it = node->children.find(k);
        if (it == node->children.end()) return true;
        node = it->second.get();
        if (node->generation > ref_generation) return false;
    }
    return true;
}

// ---- pruning ----

// A record condemns the live references through its node that are older
// than it, and nothing else: references made later get the generation, which is
// at least `value`. Each live reference marks the nodes along its path with
// its generation; then every record no newer than what its node was marked with
// goes. The work is paid for by the records added since the last time, of
// which there are at least as many as records kept and live references.
void MutationTrie::after_record(uint64_t value) {
    if (records_ < prune_at_) return;
    for (LiveReference* ref = first_ref_; ref; ref = ref->next) {
        Node* node = &root_;
        node->oldest_ref = std::min(node->oldest_ref, *ref->generation);
        for (const PathStep& k : *ref->path) {
            node->oldest_below = std::min(node->oldest_below, *ref->generation);
            auto it = node->children.find(k);
            if (it == node->children.end()) break;
            node = it->second.get();
            node->oldest_ref = std::min(node->oldest_ref, *ref->generation);
        }
    }
    size_t kept = 0;
    prune(root_, value, kept);
    records_ = kept;
    prune_at_ = std::max(kMinPrune, 2 * kept + live_refs_);
}

// Returns whether `node` holds nothing any more; clears the marks.
bool MutationTrie::prune(Node& node, uint64_t generation, size_t& kept) {
    const uint64_t floor = std::min(node.oldest_ref, generation);
    const uint64_t floor_below = std::min(node.oldest_below, generation);
    node.oldest_ref = UINT64_MAX;
    node.oldest_below = UINT64_MAX;
    if (node.generation <= floor) node.generation = 0;
    std::erase_if(node.ranges, [floor_below](const Range& r) { return r.generation <= floor_below; });
    for (auto it = node.children.begin(); it != node.children.end();) {
        if (prune(*it->second, generation, kept)) {
            it = node.children.erase(it);
        } else {
            ++it;
        }
    }
    kept += node.ranges.size() + node.children.size();
    return node.generation == 0 && node.children.empty() && node.ranges.empty();
}

}  // namespace quillon
