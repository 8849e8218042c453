// Compact text fragment used for decors, reprs and trailing texts.
//
// Eight bytes. States:
//   absent   - an optional side that was never set (rendered with a default)
//   inline   - up to 7 bytes stored in place (the empty text is inline, length 0)
//   heap     - longer text, owned
//   borrowed - text owned by someone else: a parsed document points into the
//              source text it keeps alive, so parsing copies no text at all.
//
// Copying always yields owned text (a copy may end up in another document or
// outlive the source); moving keeps the state, borrowed included.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace toml {

// A byte range [start, end) into a source text (token and error positions).
struct Span {
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t size() const { return end - start; }
    bool operator==(const Span&) const = default;
};

// The word holds a pointer in its low 48 bits (user-space addresses on the
// supported 64-bit targets) and the state in its top byte:
//   0                  absent (the whole word is zero)
//   0x40 | length      inline; the text is in the word's first seven bytes
//   0x20               heap; the pointer addresses a length-prefixed block
//   0x80 set           borrowed; bits 48..62 hold the length
static_assert(sizeof(void*) == 8 && std::endian::native == std::endian::little,
              "RawString packs pointers into 64-bit little-endian words");

class RawString {
public:
    RawString() noexcept = default;
    // Any text (empty included) makes a present string.
    explicit RawString(std::string_view text) { assign_text(text); }
    static RawString absent() noexcept { return RawString(); }
    static RawString empty() { return RawString(std::string_view()); }
    // Text that stays valid, unchanged, for as long as this string and its
    // moved-to successors live. Texts too long to borrow are copied.
    static RawString borrowed(std::string_view text) {
        RawString r;
        if (can_borrow(text)) {
            r.w_ = kBorrowedBit | (static_cast<uint64_t>(text.size()) << 48) |
                   reinterpret_cast<uintptr_t>(text.data());
        } else {
            r.assign_text(text);
        }
        return r;
    }
    // Whether borrowed() keeps `text` in place rather than copying it.
    static bool can_borrow(std::string_view text) noexcept {
        return text.size() <= kBorrowMax && (reinterpret_cast<uintptr_t>(text.data()) >> 48) == 0;
    }
    // Whether every text inside `whole` that can_borrow() accepts by length
    // can also be borrowed by address.
    static bool addressable(std::string_view whole) noexcept {
        return ((reinterpret_cast<uintptr_t>(whole.data()) + whole.size()) >> 48) == 0;
    }
    static constexpr size_t kBorrowMax = 0x7FFF;
    // borrowed() for a text known to be addressable and at most kBorrowMax long.
    static RawString borrowed_unchecked(const char* data, size_t size) noexcept {
        RawString r;
        r.w_ = kBorrowedBit | (static_cast<uint64_t>(size) << 48) | reinterpret_cast<uintptr_t>(data);
        return r;
    }

    RawString(const RawString& o) { copy_from(o); }
    RawString(RawString&& o) noexcept : w_(std::exchange(o.w_, 0)) {}
    RawString& operator=(const RawString& o) {
        if (this != &o) {
            release();
            w_ = 0;
            copy_from(o);
        }
        return *this;
    }
    RawString& operator=(RawString&& o) noexcept {
        if (this != &o) {
            release();
            w_ = std::exchange(o.w_, 0);
        }
        return *this;
    }
    ~RawString() { release(); }

    bool is_absent() const noexcept { return w_ == 0; }
    bool is_present() const noexcept { return w_ != 0; }
    bool is_borrowed() const noexcept { return (w_ & kBorrowedBit) != 0; }

    // The text ("" when absent).
    std::string_view view() const noexcept {
        uint8_t t = tag();
        if (t & 0x80) return std::string_view(pointer(), (w_ >> 48) & kBorrowMax);
        if (t & 0x40) return std::string_view(reinterpret_cast<const char*>(&w_), t & 0x0F);
        if (t == kHeap) {
            const char* block = pointer();
            uint32_t len;
            std::memcpy(&len, block, sizeof len);
            return std::string_view(block + sizeof len, len);
        }
        return std::string_view();
    }
    void set(std::string_view text) {
        // `text` may point into this string's own heap block.
        RawString fresh(text);
        *this = std::move(fresh);
    }
    void reset() noexcept {
        release();
        w_ = 0;
    }

private:
    static constexpr uint64_t kBorrowedBit = 1ull << 63;
    static constexpr size_t kInlineMax = 7;
    static constexpr uint8_t kInline = 0x40;
    static constexpr uint8_t kHeap = 0x20;
    static constexpr uint64_t kPointerMask = (1ull << 48) - 1;

    uint64_t w_ = 0;

    uint8_t tag() const noexcept { return static_cast<uint8_t>(w_ >> 56); }
    const char* pointer() const noexcept { return reinterpret_cast<const char*>(w_ & kPointerMask); }

    void assign_text(std::string_view text) {
        if (text.size() <= kInlineMax) {
            uint64_t w = static_cast<uint64_t>(kInline | text.size()) << 56;
            if (!text.empty()) std::memcpy(&w, text.data(), text.size());
            w_ = w;
            return;
        }
        // The block's length prefix is 32-bit.
        if (text.size() > UINT32_MAX) throw std::bad_alloc();
        uint32_t len = static_cast<uint32_t>(text.size());
        char* block = new char[sizeof len + text.size()];
        auto addr = reinterpret_cast<uintptr_t>(block);
        if ((addr >> 48) != 0) {
            delete[] block;
            throw std::bad_alloc();
        }
        std::memcpy(block, &len, sizeof len);
        std::memcpy(block + sizeof len, text.data(), text.size());
        w_ = (static_cast<uint64_t>(kHeap) << 56) | addr;
    }
    void copy_from(const RawString& o) {
        uint8_t t = o.tag();
        if (t == kHeap || (t & 0x80)) {
            assign_text(o.view());
        } else {
            w_ = o.w_;
        }
    }
    void release() noexcept {
        if (tag() == kHeap) delete[] pointer();
    }
};
static_assert(sizeof(RawString) == 8);

}  // namespace toml
