// Insertion-ordered entry map. Small maps are scanned linearly; past
// kLinearLimit entries lookups go through an open-addressing index.
#include <cstring>

#include "model.hpp"

namespace toml {

namespace {

constexpr size_t kLinearLimit = 8;
constexpr size_t kMinSlots = 32;

uint64_t hash_key(std::string_view s) {
    const char* p = s.data();
    size_t n = s.size();
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(n) * 0xFF51AFD7ED558CCDull);
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0x9FB21C651E98DF25ull;
        h ^= h >> 32;
        p += 8;
        n -= 8;
    }
    if (n > 0) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0x9FB21C651E98DF25ull;
    }
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return h;
}

inline uint32_t tag_of(uint64_t h) { return static_cast<uint32_t>(h >> 32); }

inline bool same_text(const std::string& a, std::string_view b) {
    return a.size() == b.size() && (b.empty() || std::memcmp(a.data(), b.data(), b.size()) == 0);
}

}  // namespace

// Slots are pairs (position + 1, 32-bit hash tag); `indexed` counts the
// entries covered (0: none, rebuilt on the next lookup).
struct EntryMap::Index {
    std::vector<uint32_t> slots;
    size_t indexed = 0;
};

EntryMap::EntryMap() = default;
EntryMap::EntryMap(const EntryMap& o) : entries_(o.entries_) {}
EntryMap::EntryMap(EntryMap&&) noexcept = default;
EntryMap& EntryMap::operator=(const EntryMap& o) {
    if (this != &o) {
        entries_ = o.entries_;
        index_.reset();
    }
    return *this;
}
EntryMap& EntryMap::operator=(EntryMap&&) noexcept = default;
EntryMap::~EntryMap() = default;

void EntryMap::reindex() noexcept {
    if (index_) index_->indexed = 0;
}

// Slots are chosen from the stored 32-bit tag alone, so growing the index
// re-places the tags without touching (or re-hashing) the entries.
namespace {

void place(std::vector<uint32_t>& index, uint32_t slot_value, uint32_t tag) {
    size_t mask = index.size() / 2 - 1;
    size_t i = tag & mask;
    while (index[2 * i] != 0) i = (i + 1) & mask;
    index[2 * i] = slot_value;
    index[2 * i + 1] = tag;
}

size_t slots_for(size_t n) {
    size_t slots = kMinSlots;
    while (slots < 2 * (n + 1)) slots *= 2;
    return slots;
}

}  // namespace

void EntryMap::rebuild_index() const {
    size_t n = entries_.size();
    if (!index_) index_ = std::make_unique<Index>();
    std::vector<uint32_t>& slots = index_->slots;
    slots.assign(2 * slots_for(n), 0);
    for (size_t pos = 0; pos < n; ++pos) {
        place(slots, static_cast<uint32_t>(pos + 1), tag_of(hash_key(entries_[pos].key.key)));
    }
    index_->indexed = n;
}

void EntryMap::index_insert(size_t pos) const {
    std::vector<uint32_t>& slots = index_->slots;
    if (2 * (pos + 1) > slots.size() / 2) {
        std::vector<uint32_t> grown(2 * slots_for(pos + 1), 0);
        for (size_t i = 0; i < slots.size(); i += 2) {
            if (slots[i] != 0) place(grown, slots[i], slots[i + 1]);
        }
        slots.swap(grown);
    }
    place(slots, static_cast<uint32_t>(pos + 1), tag_of(hash_key(entries_[pos].key.key)));
    index_->indexed = pos + 1;
}

size_t EntryMap::find(std::string_view key) const {
    size_t n = entries_.size();
    if (n <= kLinearLimit) {
        for (size_t pos = 0; pos < n; ++pos) {
            if (same_text(entries_[pos].key.key, key)) return pos;
        }
        return npos;
    }
    if (!index_ || index_->indexed != n) rebuild_index();
    const std::vector<uint32_t>& slots = index_->slots;
    uint64_t h = hash_key(key);
    uint32_t tag = tag_of(h);
    size_t mask = slots.size() / 2 - 1;
    size_t i = tag & mask;
    for (;;) {
        uint32_t slot = slots[2 * i];
        if (slot == 0) return npos;
        if (slots[2 * i + 1] == tag && slot <= n && same_text(entries_[slot - 1].key.key, key)) {
            return slot - 1;
        }
        i = (i + 1) & mask;
    }
}

Entry* EntryMap::find_entry(std::string_view key) {
    size_t pos = find(key);
    return pos == npos ? nullptr : &entries_[pos];
}

const Entry* EntryMap::find_entry(std::string_view key) const {
    size_t pos = find(key);
    return pos == npos ? nullptr : &entries_[pos];
}

size_t EntryMap::len() const {
    size_t count = 0;
    for (const Entry& e : entries_) count += e.item.is_none() ? 0 : 1;
    return count;
}

bool EntryMap::contains_key(std::string_view key) const { return get(key) != nullptr; }

Item* EntryMap::get(std::string_view key) {
    Entry* e = find_entry(key);
    return (e && !e->item.is_none()) ? &e->item : nullptr;
}

const Item* EntryMap::get(std::string_view key) const {
    const Entry* e = find_entry(key);
    return (e && !e->item.is_none()) ? &e->item : nullptr;
}

Key* EntryMap::key(std::string_view key) {
    Entry* e = find_entry(key);
    return (e && !e->item.is_none()) ? &e->key : nullptr;
}

const Key* EntryMap::key(std::string_view key) const {
    const Entry* e = find_entry(key);
    return (e && !e->item.is_none()) ? &e->key : nullptr;
}

std::optional<Item> EntryMap::insert(std::string_view key, Item item) {
    if (Entry* e = find_entry(key)) {
        e->key.reset_format();
        Item old = std::exchange(e->item, std::move(item));
        if (old.is_none()) return std::nullopt;
        return old;
    }
    push_back(Key(std::string(key)), std::move(item));
    return std::nullopt;
}

Entry& EntryMap::push_back(Key key, Item item) { return append(std::move(key), std::move(item)); }

Entry& EntryMap::append(Key&& key, Item&& item) {
    size_t pos = entries_.size();
    entries_.emplace_back(std::move(key), std::move(item));
    // Keep a live index current; a missing or stale one is rebuilt on the
    // next lookup.
    if (index_ && index_->indexed == pos && pos > 0) index_insert(pos);
    return entries_.back();
}

std::optional<Item> EntryMap::remove(std::string_view key) {
    size_t pos = find(key);
    if (pos == npos) return std::nullopt;
    Item old = std::move(entries_[pos].item);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
    reindex();
    if (old.is_none()) return std::nullopt;
    return old;
}

std::optional<std::pair<Key, Item>> EntryMap::remove_entry(std::string_view key) {
    size_t pos = find(key);
    if (pos == npos) return std::nullopt;
    Entry old = std::move(entries_[pos]);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
    reindex();
    if (old.item.is_none()) return std::nullopt;
    return std::make_pair(std::move(old.key), std::move(old.item));
}

Entry& EntryMap::entry(std::string_view key) {
    size_t pos = find(key);
    if (pos != npos) return entries_[pos];
    return push_back(Key(std::string(key)), Item());
}

Item& EntryMap::index_mut(std::string_view key) { return entry(key).item; }

void EntryMap::clear() {
    entries_.clear();
    index_.reset();
}

}  // namespace toml
