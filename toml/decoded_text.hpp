// The decoded text of a key or a string value, in eight bytes.
//
// A parsed text whose source spelling holds it verbatim (bare keys, strings
// without escapes) borrows it from the source; other texts are held in place
// (up to 7 bytes) or on the heap. Copies own their text, as RawString's do.
// Reads like a std::string_view.
#pragma once

#include <string>
#include <string_view>

#include "raw_string.hpp"

namespace toml {

class DecodedText {
public:
    DecodedText() noexcept = default;
    DecodedText(std::string_view text) : s_(text) {}
    DecodedText(const std::string& text) : s_(std::string_view(text)) {}
    DecodedText(const char* text) : s_(std::string_view(text)) {}
    // `text` must outlive this key text and its moved-to successors.
    static DecodedText borrowed(RawString text) noexcept {
        DecodedText k;
        k.s_ = std::move(text);
        return k;
    }

    std::string_view view() const noexcept { return s_.view(); }
    // Whether the text is borrowed (stands in someone else's memory).
    bool is_borrowed() const noexcept { return s_.is_borrowed(); }
    operator std::string_view() const noexcept { return s_.view(); }
    operator std::string() const { return std::string(s_.view()); }
    std::string str() const { return std::string(s_.view()); }

    const char* data() const noexcept { return view().data(); }
    size_t size() const noexcept { return view().size(); }
    bool empty() const noexcept { return view().empty(); }
    char operator[](size_t i) const noexcept { return view()[i]; }
    auto begin() const noexcept { return view().begin(); }
    auto end() const noexcept { return view().end(); }

    friend bool operator==(const DecodedText& a, const DecodedText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const DecodedText& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const DecodedText& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const DecodedText& a, const char* b) noexcept { return a.view() == b; }
    friend auto operator<=>(const DecodedText& a, const DecodedText& b) noexcept { return a.view() <=> b.view(); }

private:
    RawString s_;  // absent reads as ""
};
static_assert(sizeof(DecodedText) == 8);

}  // namespace toml
