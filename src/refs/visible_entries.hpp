// Entries of a table that Python sees: placeholder (None) entries are skipped.
#pragma once

#include <cstddef>
#include <string_view>

#include "toml/model.hpp"

namespace quillon {

// The last visible entry, or nullptr.
inline const toml::Entry* last_visible_entry(const toml::EntryMap& items) {
    const auto& entries = items.entries();
    for (size_t i = entries.size(); i > 0; --i) {
        if (!entries[i - 1].item.is_none()) return &entries[i - 1];
    }
    return nullptr;
}

}  // namespace quillon
