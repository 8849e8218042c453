#include "trie.hpp"

#include <algorithm>

namespace quillon {

// ---- held stamps ----

namespace {

bool stamp_before(const std::pair<uint64_t, size_t>& e, uint64_t s) { return e.first < s; }

}  // namespace

void MutationTrie::HeldStamps::add(uint64_t stamp) {
    // References are made and refreshed at the current clock: almost always
    // the newest stamp.
    if (!empty() && held_.back().first == stamp) {
        ++held_.back().second;
        return;
    }
    if (empty() || held_.back().first < stamp) {
        held_.emplace_back(stamp, 1);
        return;
    }
    auto first = held_.begin() + static_cast<std::ptrdiff_t>(head_);
    auto it = std::lower_bound(first, held_.end(), stamp, stamp_before);
    if (it != held_.end() && it->first == stamp) {
        if (it->second++ == 0) --zeros_;
        return;
    }
    held_.insert(it, {stamp, 1});
}

void MutationTrie::HeldStamps::remove(uint64_t stamp) {
    auto first = held_.begin() + static_cast<std::ptrdiff_t>(head_);
    auto it = std::lower_bound(first, held_.end(), stamp, stamp_before);
    if (it == held_.end() || it->first != stamp || it->second == 0) return;
    if (--it->second == 0) ++zeros_;
    while (head_ < held_.size() && held_[head_].second == 0) {
        ++head_;
        --zeros_;
    }
    while (held_.size() > head_ && held_.back().second == 0) {
        held_.pop_back();
        --zeros_;
    }
    if (head_ == held_.size()) {
        held_.clear();
        head_ = 0;
    } else if (head_ + zeros_ > 64 && 2 * (head_ + zeros_) > held_.size()) {
        compact();
    }
}

void MutationTrie::HeldStamps::compact() {
    std::vector<std::pair<uint64_t, size_t>> live;
    live.reserve(held_.size() - head_ - zeros_);
    for (size_t i = head_; i < held_.size(); ++i) {
        if (held_[i].second != 0) live.push_back(held_[i]);
    }
    held_ = std::move(live);
    head_ = 0;
    zeros_ = 0;
}

void MutationTrie::hold(uint64_t stamp) { held_.add(stamp); }

void MutationTrie::release(uint64_t stamp) { held_.remove(stamp); }

// ---- records ----

MutationTrie::Node* MutationTrie::child_create(Node* node, const Key& key) {
    auto& child = node->children[key];
    if (!child) {
        child = std::make_unique<Node>();
        ++records_;
    }
    return child.get();
}

MutationTrie::Node* MutationTrie::walk_create(const Path& path) {
    Node* node = &root_;
    for (const Key& k : path) node = child_create(node, k);
    return node;
}

void MutationTrie::stamp(const Path& path, uint64_t value) {
    set(walk_create(path), value);
    after_stamp(value);
}

void MutationTrie::stamp_child(const Path& path, const Key& key, uint64_t value) {
    set(child_create(walk_create(path), key), value);
    after_stamp(value);
}

void MutationTrie::stamp_range(const Path& path, size_t start, size_t end, uint64_t value) {
    if (start >= end) return;
    Node* node = walk_create(path);
    // Older ranges inside the new one can no longer decide anything.
    while (!node->ranges.empty() && node->ranges.back().start >= start && node->ranges.back().end <= end) {
        node->ranges.pop_back();
    }
    node->ranges.push_back(Range{start, end, value});
    ++records_;
    after_stamp(value);
}

bool MutationTrie::is_valid(const Path& path, uint64_t ref_stamp) const {
    if (ref_stamp < root_.stamp) return false;
    const Node* node = &root_;
    for (const Key& k : path) {
        if (k.is_index()) {
            // Ranges are in stamp order: only the newest ones can be newer
            // than the reference.
            size_t i = k.as_index();
            for (auto r = node->ranges.rbegin(); r != node->ranges.rend() && r->stamp > ref_stamp; ++r) {
                if (r->start <= i && i < r->end) return false;
            }
        }
        auto it = node->children.find(k);
        if (it == node->children.end()) return true;
        node = it->second.get();
        if (node->stamp > ref_stamp) return false;
    }
    return true;
}

// ---- pruning ----

// Every live reference holds a stamp of at least the oldest held one, and
// references made later get the clock, which is at least `value`: a record
// stamped at or below the lower of the two condemns nothing.
void MutationTrie::after_stamp(uint64_t value) {
    if (records_ < prune_at_) return;
    uint64_t floor = held_.empty() ? value : std::min(held_.oldest(), value);
    size_t kept = 0;
    prune(root_, floor, kept);
    records_ = kept;
    prune_at_ = std::max(kMinPrune, 2 * kept);
}

// Returns whether `node` holds nothing any more.
bool MutationTrie::prune(Node& node, uint64_t floor, size_t& kept) {
    if (node.stamp <= floor) node.stamp = 0;
    std::erase_if(node.ranges, [floor](const Range& r) { return r.stamp <= floor; });
    for (auto it = node.children.begin(); it != node.children.end();) {
        if (prune(*it->second, floor, kept)) {
            it = node.children.erase(it);
        } else {
            ++it;
        }
    }
    kept += node.ranges.size() + node.children.size();
    return node.stamp == 0 && node.children.empty() && node.ranges.empty();
}

}  // namespace quillon
