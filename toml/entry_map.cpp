// Insertion-ordered entry map. Small maps are scanned linearly; past
// kLinearLimit entries lookups go through an open-addressing index.
#include <cstring>
#include <vector>

#include "model.hpp"

namespace toml {

namespace {

constexpr size_t kLinearLimit = 16;
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

inline uint32_t load32(const char* p) {
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline uint64_t load64(const char* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Keys of a table are short and often of one length: most pairs differ
// within their first eight bytes, which are compared without a call.
inline bool same_text(std::string_view a, std::string_view b) {
    const size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    if (n >= 8) return load64(x) == load64(y) && (n == 8 || std::memcmp(x + 8, y + 8, n - 8) == 0);
    if (n >= 4) return load32(x) == load32(y) && load32(x + n - 4) == load32(y + n - 4);
    for (size_t k = 0; k < n; ++k) {
        if (x[k] != y[k]) return false;
    }
    return true;
}

}  // namespace

// Slots are pairs (position + 1, 32-bit hash tag); `indexed` counts the
// entries covered (0: none, rebuilt on the next lookup). The counts are
// those of the covered entries.
struct EntryMap::Index {
    std::vector<uint32_t> slots;
    size_t indexed = 0;
    uint32_t tombstones = 0;  // removed entries still holding their position
    uint32_t leading = 0;     // the first `leading` entries are all tombstones
    // An upper bound on the None placeholders (made here, then usually filled
    // by the caller); len() counts them while it is not zero.
    uint32_t placeholders = 0;
};

namespace {

// A removed entry that keeps its position: no key text is a lone 0xFF byte
// (key texts are valid UTF-8), so no lookup ever finds it, and its None item
// makes every walk over the entries pass it by like a placeholder.
const char kTombstoneText[] = "\xFF";

bool is_tombstone(const Entry& e) {
    return e.item.is_none() && e.key.key.size() == 1 && e.key.key[0] == kTombstoneText[0];
}

}  // namespace

EntryMap::EntryMap() noexcept = default;

EntryMap::EntryMap(const EntryMap& o) {
    entries_.reserve(o.entries_.size());
    for (const Entry& e : o.entries_) {
        if (!is_tombstone(e)) entries_.push_back(e);
    }
}

EntryMap::EntryMap(EntryMap&& o) noexcept
    : entries_(std::move(o.entries_)), index_(std::exchange(o.index_, nullptr)) {}

EntryMap& EntryMap::operator=(const EntryMap& o) {
    if (this != &o) {
        EntryMap copy(o);
        *this = std::move(copy);
    }
    return *this;
}

EntryMap& EntryMap::operator=(EntryMap&& o) noexcept {
    if (this != &o) {
        entries_ = std::move(o.entries_);
        delete std::exchange(index_, std::exchange(o.index_, nullptr));
    }
    return *this;
}

EntryMap::~EntryMap() { delete index_; }

void EntryMap::reindex() noexcept {
    if (index_) index_->indexed = 0;
}

bool EntryMap::indexed() const noexcept { return index_ && index_->indexed == entries_.size(); }

void EntryMap::note_placeholder(const Item& item) const noexcept {
    if (item.is_none() && index_) ++index_->placeholders;
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
    if (!index_) index_ = new Index();
    std::vector<uint32_t>& slots = index_->slots;
    slots.assign(2 * slots_for(n), 0);
    uint32_t tombstones = 0;
    uint32_t placeholders = 0;
    uint32_t leading = 0;
    for (size_t pos = 0; pos < n; ++pos) {
        const Entry& e = entries_[pos];
        if (is_tombstone(e)) {
            leading += tombstones == pos ? 1 : 0;
            ++tombstones;
            continue;
        }
        placeholders += e.item.is_none() ? 1 : 0;
        place(slots, static_cast<uint32_t>(pos + 1), tag_of(hash_key(e.key.key)));
    }
    index_->indexed = n;
    index_->tombstones = tombstones;
    index_->placeholders = placeholders;
    index_->leading = leading;
}

// Takes position `pos` out of the index, moving later members of its probe
// run back so that no lookup stops short (no deleted-slot markers needed).
void EntryMap::index_erase(size_t pos) const {
    std::vector<uint32_t>& slots = index_->slots;
    size_t mask = slots.size() / 2 - 1;
    uint32_t tag = tag_of(hash_key(entries_[pos].key.key));
    size_t i = tag & mask;
    while (slots[2 * i] != pos + 1) {
        if (slots[2 * i] == 0) return;
        i = (i + 1) & mask;
    }
    size_t j = i;
    for (;;) {
        j = (j + 1) & mask;
        if (slots[2 * j] == 0) break;
        size_t home = slots[2 * j + 1] & mask;
        // Entry j may fill the hole at i unless its home lies in (i, j].
        bool home_between = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (home_between) continue;
        slots[2 * i] = slots[2 * j];
        slots[2 * i + 1] = slots[2 * j + 1];
        i = j;
    }
    slots[2 * i] = 0;
    slots[2 * i + 1] = 0;
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
    size_t n = entries_.size();
    if (n > kLinearLimit && !indexed()) rebuild_index();
    if (n > kLinearLimit && index_->placeholders == 0) return n - index_->tombstones;
    size_t none = 0;
    for (const Entry& e : entries_) none += e.item.is_none() ? 1 : 0;
    if (indexed()) index_->placeholders = static_cast<uint32_t>(none - index_->tombstones);
    return n - none;
}

const Entry* EntryMap::first_visible() const {
    for (size_t pos = indexed() ? index_->leading : 0; pos < entries_.size(); ++pos) {
        if (!entries_[pos].item.is_none()) return &entries_[pos];
    }
    return nullptr;
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
        note_placeholder(item);
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
    note_placeholder(item);
    entries_.emplace_back(std::move(key), std::move(item));
    // Keep a live index current; a missing or stale one is rebuilt on the
    // next lookup.
    if (index_ && index_->indexed == pos && pos > 0) index_insert(pos);
    return entries_.back();
}

// Removes the entry at `pos` and returns it. The last entry is popped (with
// the tombstones before it); in a small or unindexed map the rest move up; in
// an indexed one the entry leaves a tombstone and only its index slot goes.
Entry EntryMap::take(size_t pos) {
    bool live_index = indexed();
    if (live_index) index_erase(pos);
    Entry old = std::move(entries_[pos]);
    if (pos + 1 == entries_.size()) {
        entries_.pop_back();
        uint32_t popped = 0;
        while (!entries_.empty() && is_tombstone(entries_.back())) {
            entries_.pop_back();
            ++popped;
        }
        if (live_index) {
            Index& ix = *index_;
            ix.indexed = entries_.size();
            ix.tombstones -= popped;
            if (ix.leading > entries_.size()) ix.leading = static_cast<uint32_t>(entries_.size());
        }
        return old;
    }
    if (!live_index || entries_.size() <= kLinearLimit) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
        if (index_) index_->indexed = 0;
        return old;
    }
    entries_[pos] = Entry{Key(std::string(kTombstoneText)), Item()};
    Index& ix = *index_;
    ++ix.tombstones;
    while (ix.leading < entries_.size() && is_tombstone(entries_[ix.leading])) ++ix.leading;
    if (2 * static_cast<size_t>(ix.tombstones) > entries_.size()) sweep_tombstones();
    return old;
}

// Drops every tombstone at once; positions change, so the index is rebuilt.
void EntryMap::sweep_tombstones() {
    erase_if(entries_, [](const Entry& e) { return is_tombstone(e); });
    if (index_) index_->indexed = 0;
}

std::optional<Item> EntryMap::remove(std::string_view key) {
    size_t pos = find(key);
    if (pos == npos) return std::nullopt;
    Entry old = take(pos);
    if (old.item.is_none()) return std::nullopt;
    return std::move(old.item);
}

std::optional<std::pair<Key, Item>> EntryMap::remove_entry(std::string_view key) {
    size_t pos = find(key);
    if (pos == npos) return std::nullopt;
    Entry old = take(pos);
    if (old.item.is_none()) return std::nullopt;
    return std::make_pair(std::move(old.key), std::move(old.item));
}

Entry& EntryMap::entry(std::string_view key) {
    size_t pos = find(key);
    if (pos != npos) return entries_[pos];
    return push_back(Key(std::string(key)), Item());  // counted as a placeholder
}

Item& EntryMap::index_mut(std::string_view key) { return entry(key).item; }

void EntryMap::clear() {
    entries_.clear();
    delete std::exchange(index_, nullptr);
}

}  // namespace toml
