// Compact text fragment used for decors, reprs and trailing texts.
//
// Sixteen bytes. States:
//   absent  - an optional side that was never set (rendered with a default)
//   inline  - up to 15 bytes stored in place (the empty text is inline, length 0)
//   heap    - longer text, owned
//   span    - a byte range [start, end) into the source being parsed; exists only
//             while a document is being assembled and is turned into owned text
//             by `despan` before the parser hands the model out.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace toml {

struct Span {
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t size() const { return end - start; }
    bool operator==(const Span&) const = default;
};

class RawString {
public:
    RawString() noexcept { set_tag(kAbsent); }
    // Any text (empty included) makes a present string.
    explicit RawString(std::string_view text) { assign_text(text); }
    static RawString absent() noexcept { return RawString(); }
    static RawString empty() { return RawString(std::string_view()); }
    static RawString from_span(Span s) noexcept {
        RawString r;
        r.u_.span.start = s.start;
        r.u_.span.end = s.end;
        r.set_tag(kSpan);
        return r;
    }

    RawString(const RawString& o) { copy_from(o); }
    RawString(RawString&& o) noexcept {
        std::memcpy(static_cast<void*>(this), &o, sizeof(RawString));
        o.set_tag(kAbsent);
    }
    RawString& operator=(const RawString& o) {
        if (this != &o) {
            release();
            copy_from(o);
        }
        return *this;
    }
    RawString& operator=(RawString&& o) noexcept {
        if (this != &o) {
            release();
            std::memcpy(static_cast<void*>(this), &o, sizeof(RawString));
            o.set_tag(kAbsent);
        }
        return *this;
    }
    ~RawString() { release(); }

    bool is_absent() const noexcept { return tag() == kAbsent; }
    bool is_present() const noexcept { return tag() != kAbsent; }
    bool is_span() const noexcept { return tag() == kSpan; }
    Span span() const noexcept { return Span{u_.span.start, u_.span.end}; }

    // Text of a present, non-span string ("" when absent).
    std::string_view view() const noexcept {
        uint8_t t = tag();
        if (t <= kInlineMax) return std::string_view(u_.inl, t);
        if (t == kHeap) return std::string_view(u_.heap.ptr, u_.heap.len);
        return std::string_view();
    }
    // Text of any state; spans are resolved against `source`.
    std::string_view view(std::string_view source) const noexcept {
        if (tag() == kSpan) return source.substr(u_.span.start, u_.span.end - u_.span.start);
        return view();
    }
    // Turn a span into owned text (no-op for other states).
    void despan(std::string_view source) {
        if (tag() == kSpan) {
            Span s = span();
            assign_text(source.substr(s.start, s.end - s.start));
        }
    }
    void set(std::string_view text) {
        release();
        assign_text(text);
    }
    void reset() noexcept {
        release();
        set_tag(kAbsent);
    }

private:
    static constexpr uint8_t kInlineMax = 15;
    static constexpr uint8_t kHeap = 0xFD;
    static constexpr uint8_t kSpan = 0xFE;
    static constexpr uint8_t kAbsent = 0xFF;

    struct Heap {
        char* ptr;
        uint32_t len;
    };
    struct Range {
        uint32_t start;
        uint32_t end;
    };
    union U {
        char inl[16];
        Heap heap;
        Range span;
    } u_;

    uint8_t tag() const noexcept { return static_cast<uint8_t>(u_.inl[15]); }
    void set_tag(uint8_t t) noexcept { u_.inl[15] = static_cast<char>(t); }

    void assign_text(std::string_view text) {
        if (text.size() <= kInlineMax) {
            if (!text.empty()) std::memcpy(u_.inl, text.data(), text.size());
            set_tag(static_cast<uint8_t>(text.size()));
        } else {
            char* p = new char[text.size()];
            std::memcpy(p, text.data(), text.size());
            u_.heap.ptr = p;
            u_.heap.len = static_cast<uint32_t>(text.size());
            set_tag(kHeap);
        }
    }
    void copy_from(const RawString& o) {
        if (o.tag() == kHeap) {
            assign_text(o.view());
        } else {
            std::memcpy(static_cast<void*>(this), &o, sizeof(RawString));
        }
    }
    void release() noexcept {
        if (tag() == kHeap) delete[] u_.heap.ptr;
    }
};
static_assert(sizeof(RawString) == 16);

}  // namespace toml
