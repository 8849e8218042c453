// Declaration of the insertion-ordered entry map behind tables and inline
// tables (defined in entry_map.cpp). Included by model.hpp.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "compact_vector.hpp"

namespace toml {

class Item;
struct Entry;
struct Key;

// Insertion-ordered map from key text to model item, shared by tables and
// inline tables. Entries holding the None placeholder are stored but invisible
// to the "visible" operations (len, get, contains, iteration helpers).
class EntryMap {
public:
    EntryMap() noexcept;
    EntryMap(const EntryMap&);
    EntryMap(EntryMap&&) noexcept;
    EntryMap& operator=(const EntryMap&);
    EntryMap& operator=(EntryMap&&) noexcept;
    ~EntryMap();

    // All stored entries, placeholders included, in order.
    using Entries = CompactVector<Entry>;
    Entries& entries() { return entries_; }
    const Entries& entries() const { return entries_; }
    size_t raw_size() const;

    // Position of the stored entry for `key` (placeholders included), or npos.
    static constexpr size_t npos = static_cast<size_t>(-1);
    size_t find(std::string_view key) const;
    Entry* find_entry(std::string_view key);
    const Entry* find_entry(std::string_view key) const;

    // Visible operations (entries holding None are skipped).
    size_t len() const;
    bool is_empty() const { return len() == 0; }
    // The first visible entry, or nullptr.
    const Entry* first_visible() const;
    bool contains_key(std::string_view key) const;
    Item* get(std::string_view key);
    const Item* get(std::string_view key) const;
    Key* key(std::string_view key);  // the stored key, if its entry is visible
    const Key* key(std::string_view key) const;

    // Existing key: replaces the item in place and resets the stored key's
    // format (repr and decors absent). New key: appended with a bare key.
    // Returns the old item when one was visible.
    std::optional<Item> insert(std::string_view key, Item item);
    // Appends without looking for an existing entry (the caller knows the key
    // is new); used by the parser and by from-pairs construction.
    Entry& push_back(Key key, Item item);
    // Same, moving straight from the arguments.
    Entry& append(Key&& key, Item&& item);
    // Removes the entry, keeping the order of the rest. A placeholder entry is
    // removed and reported as nothing. In a large map the entry's slot stays
    // behind as a tombstone (a None entry that no key finds) until enough of
    // them gather to be swept out at once, so removal costs O(1) amortized.
    std::optional<Item> remove(std::string_view key);
    // Removes the entry and returns both key and item (nullopt when absent or
    // a placeholder; the placeholder entry is still removed).
    std::optional<std::pair<Key, Item>> remove_entry(std::string_view key);
    // The slot of `key`, created with the None placeholder at the end if absent.
    Entry& entry(std::string_view key);
    // The item of `key`; a None placeholder entry is appended first if absent.
    Item& index_mut(std::string_view key);
    void clear();
    // Code that edits entries() directly (erasing, reordering or renaming
    // entries) calls this afterwards; appending is noticed without it.
    void reindex() noexcept;

private:
    struct Index;
    void rebuild_index() const;
    void index_insert(size_t pos) const;
    void index_erase(size_t pos) const;
    Entry take(size_t pos);
    void note_placeholder(const Item& item) const noexcept;
    void sweep_tombstones();
    bool indexed() const noexcept;

    Entries entries_;
    // Open-addressing hash index over entries_ positions, built once the map
    // grows past a handful of entries (linear scan below that); never copied.
    // It also keeps the counts that make len() and removal O(1) (a small
    // map is simply scanned). Owned; a bare pointer keeps the map a
    // standard-layout type, which the value slot it lives in relies on.
    mutable Index* index_ = nullptr;
};

}  // namespace toml
