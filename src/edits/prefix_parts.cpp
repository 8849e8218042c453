#include "edits/prefix_parts.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace quillon {

namespace {

bool is_white_space(uint32_t cp) {
    if (cp >= 0x09 && cp <= 0x0D) return true;
    switch (cp) {
        case 0x20: case 0x85: case 0xA0: case 0x1680:
        case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
            return true;
        default:
            return cp >= 0x2000 && cp <= 0x200A;
    }
}

// Decodes the character starting at `pos`; its byte length goes to `len`.
// Malformed input decodes as a non-space character of one byte.
uint32_t decode_at(std::string_view s, size_t pos, size_t& len) {
    auto b = static_cast<unsigned char>(s[pos]);
    size_t need = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (need == 0 || pos + need > s.size()) {
        len = 1;
        return 0xFFFD;
    }
    uint32_t cp = need == 1 ? b : need == 2 ? (b & 0x1F) : need == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < need; ++k) {
        auto c = static_cast<unsigned char>(s[pos + k]);
        if ((c & 0xC0) != 0x80) {
            len = 1;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    len = need;
    return cp;
}

}  // namespace

std::string_view trim_white_space_end(std::string_view text) {
    size_t end = text.size();
    while (end > 0) {
        size_t start = end - 1;
        while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        size_t len = 0;
        uint32_t cp = decode_at(text, start, len);
        if (start + len != end) {
            // The last byte does not end a well-formed character.
            break;
        }
        if (!is_white_space(cp)) break;
        end = start;
    }
    return text.substr(0, end);
}

std::string_view trim_white_space(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t len = 0;
        if (!is_white_space(decode_at(text, pos, len))) break;
        pos += len;
    }
    return trim_white_space_end(text.substr(pos));
}

PrefixParts PrefixParts::split(std::string_view t) {
    PrefixParts parts;
    size_t first = t.find('\n');
    if (first == std::string_view::npos) {
        parts.indent = t;
        return parts;
    }
    parts.inline_part = t.substr(0, first);
    std::string_view rest = t.substr(first + 1);
    size_t last = rest.rfind('\n');
    if (last == std::string_view::npos) {
        parts.indent = rest;
        return parts;
    }
    parts.indent = rest.substr(last + 1);
    // The block keeps its final line feed; a lone line feed right after the
    // first one leaves the block empty.
    if (last > 0) parts.block = rest.substr(0, last + 1);
    return parts;
}

std::string PrefixParts::with_inline(std::string_view text, std::string_view comment) {
    PrefixParts parts = split(text);
    std::string out;
    out.reserve(comment.size() + 1 + parts.block.size() + parts.indent.size());
    out.append(comment);
    out.push_back('\n');
    out.append(parts.block);
    out.append(parts.indent);
    return out;
}

std::string_view array_slot_text(const toml::Array& array, size_t i) {
    if (i + 1 < array.len()) return side_text(array.get(i + 1).decor().prefix);
    return side_text(array.trailing);
}

void array_write_slot(toml::Array& array, size_t i, std::string_view text) {
    if (i + 1 < array.len()) {
        array.get(i + 1).decor().set_prefix(text);
    } else {
        array.trailing.set(text);
    }
}

SavedComments save_inline_comments(const toml::Array& array) {
    SavedComments saved;
    saved.reserve(array.len() + 1);
    for (size_t i = 0; i < array.len(); ++i) {
        saved.emplace_back(PrefixParts::split(array_slot_text(array, i)).inline_part);
    }
    return saved;
}

void restore_inline_comments(toml::Array& array, const SavedComments& saved) {
    for (size_t i = 0; i < array.len() && i < saved.size(); ++i) {
        std::string_view slot = array_slot_text(array, i);
        if (PrefixParts::split(slot).inline_part != saved[i]) {
            array_write_slot(array, i, PrefixParts::with_inline(slot, saved[i]));
        }
    }
}

CommentWindow CommentWindow::save(const toml::Array& array, size_t from, size_t to) {
    CommentWindow window;
    to = std::min(to, array.len());
    window.first_ = std::min(from, to);
    window.saved_.reserve(to - window.first_ + 1);
    for (size_t i = window.first_; i < to; ++i) {
        window.saved_.emplace_back(PrefixParts::split(array_slot_text(array, i)).inline_part);
    }
    return window;
}

void CommentWindow::erase(size_t position) {
    saved_.erase(saved_.begin() + static_cast<std::ptrdiff_t>(position - first_));
}

void CommentWindow::insert(size_t position, std::string comment) {
    if (saved_.empty()) first_ = position;
    saved_.insert(saved_.begin() + static_cast<std::ptrdiff_t>(position - first_), std::move(comment));
}

void CommentWindow::set(size_t position, std::string comment) { saved_[position - first_] = std::move(comment); }

void CommentWindow::restore(toml::Array& array) const {
    for (size_t k = 0; k < saved_.size() && first_ + k < array.len(); ++k) {
        size_t i = first_ + k;
        std::string_view slot = array_slot_text(array, i);
        if (PrefixParts::split(slot).inline_part != saved_[k]) {
            array_write_slot(array, i, PrefixParts::with_inline(slot, saved_[k]));
        }
    }
}

std::vector<size_t> visible_positions(const toml::EntryMap& items) {
    std::vector<size_t> out;
    const auto& entries = items.entries();
    out.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].item.is_none()) out.push_back(i);
    }
    return out;
}

namespace {

std::string_view it_slot_text_at(const toml::InlineTable& table, const std::vector<size_t>& visible, size_t i) {
    if (i + 1 < visible.size()) return side_text(table.items.entries()[visible[i + 1]].key.leaf_decor.prefix);
    return side_text(table.trailing);
}

void it_write_slot_at(toml::InlineTable& table, const std::vector<size_t>& visible, size_t i, std::string_view text) {
    if (i + 1 < visible.size()) {
        table.items.entries()[visible[i + 1]].key.leaf_decor.set_prefix(text);
    } else {
        table.trailing.set(text);
    }
}

}  // namespace

const toml::RawString* it_slot_of(const toml::InlineTable& table, std::string_view key) {
    const auto& entries = table.items.entries();
    const size_t at = table.items.find(key);
    if (at == toml::EntryMap::npos || entries[at].item.is_none()) return nullptr;
    for (size_t pos = at + 1; pos < entries.size(); ++pos) {
        if (!entries[pos].item.is_none()) return &entries[pos].key.leaf_decor.prefix;
    }
    return &table.trailing;
}

toml::RawString* it_slot_of(toml::InlineTable& table, std::string_view key) {
    return const_cast<toml::RawString*>(it_slot_of(std::as_const(table), key));
}

SavedComments save_inline_comments(const toml::InlineTable& table) {
    std::vector<size_t> visible = visible_positions(table.items);
    SavedComments saved;
    saved.reserve(visible.size() + 1);
    for (size_t i = 0; i < visible.size(); ++i) {
        saved.emplace_back(PrefixParts::split(it_slot_text_at(table, visible, i)).inline_part);
    }
    return saved;
}

void restore_inline_comments(toml::InlineTable& table, const SavedComments& saved) {
    std::vector<size_t> visible = visible_positions(table.items);
    for (size_t i = 0; i < visible.size() && i < saved.size(); ++i) {
        std::string_view slot = it_slot_text_at(table, visible, i);
        if (PrefixParts::split(slot).inline_part != saved[i]) {
            it_write_slot_at(table, visible, i, PrefixParts::with_inline(slot, saved[i]));
        }
    }
}

}  // namespace quillon
