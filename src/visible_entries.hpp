// Entries of a table that Python sees: placeholder (None) entries are skipped.
#pragma once

#include <cstddef>
#include <string_view>

#include "../toml/model.hpp"

namespace quillon {

// Position of `key` among the visible entries, or npos.
inline size_t visible_index_of(const toml::EntryMap& items, std::string_view key) {
    size_t index = 0;
    for (const toml::Entry& e : items.entries()) {
        if (e.item.is_none()) continue;
        if (e.key.key == key) return index;
        ++index;
    }
    return static_cast<size_t>(-1);
}

// The last visible entry, or nullptr.
inline const toml::Entry* last_visible_entry(const toml::EntryMap& items) {
    const auto& entries = items.entries();
    for (size_t i = entries.size(); i > 0; --i) {
        if (!entries[i - 1].item.is_none()) return &entries[i - 1];
    }
    return nullptr;
}

}  // namespace quillon
