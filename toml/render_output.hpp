// Output buffer for rendering. Bytes are appended straight into storage that
// grows geometrically. A document rendering may leave long stretches copied
// from the parsed source out of the buffer: they are kept as spans pointing
// into the source, so that whoever builds the final text can copy them from
// wherever the source is best read (the source str's own characters).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace toml {

// A stretch of source text standing in the output before the written byte
// `at` (the spans are in output order).
struct SourceSpan {
    size_t at;       // offset in the written bytes
    size_t logical;  // offset in the whole output
    const char* text;
    size_t size;
};

// What a rendering with spans produced: written bytes with source spans
// between them.
struct RenderedText {
    std::string_view bytes;
    const std::vector<SourceSpan>& spans;

    size_t size() const {
        size_t n = bytes.size();
        for (const SourceSpan& s : spans) n += s.size;
        return n;
    }
    // Calls piece(text, from_source) for each stretch in order.
    template <class F>
    void each_piece(F&& piece) const {
        size_t from = 0;
        for (const SourceSpan& s : spans) {
            if (s.at > from) piece(bytes.substr(from, s.at - from), false);
            piece(std::string_view(s.text, s.size), true);
            from = s.at;
        }
        if (from < bytes.size()) piece(bytes.substr(from), false);
    }
    std::string flat() const {
        std::string out;
        out.reserve(size());
        each_piece([&](std::string_view t, bool) { out.append(t); });
        return out;
    }
};

class RenderOutput {
public:
    // Memory for the written bytes kept between renderings.
    struct Storage {
        char* data = nullptr;
        size_t capacity = 0;

        Storage() = default;
        Storage(const Storage&) = delete;
        Storage& operator=(const Storage&) = delete;
        ~Storage() { std::free(data); }
        // A large block is kept only while renderings fill a good part of it.
        static bool keeps(size_t used, size_t capacity) { return capacity <= (size_t(1) << 20) || used >= capacity / 4; }
    };

    // Appends to `s` (its size is fixed when the output is destroyed).
    explicit RenderOutput(std::string& s) : str_(&s), len_(s.size()) {
        data_ = s.data();
        cap_ = s.size();
    }
    // Writes into storage of its own, keeping source copies as spans.
    struct WithSpans {};
    explicit RenderOutput(WithSpans) : keep_spans_(true) {}
    // The same, starting in storage that `store` lends and takes back when
    // the output is destroyed (memory kept from an earlier rendering is
    // already mapped: writing into it costs no page faults).
    RenderOutput(WithSpans, Storage& store) : data_(store.data), cap_(store.capacity), keep_spans_(true), store_(&store) {
        store.data = nullptr;
        store.capacity = 0;
    }
    ~RenderOutput() {
        if (str_) {
            str_->resize(len_);
        } else if (store_ && store_->keeps(len_, cap_)) {
            store_->data = data_;
            store_->capacity = cap_;
        } else {
            std::free(data_);
        }
    }
    RenderOutput(const RenderOutput&) = delete;
    RenderOutput& operator=(const RenderOutput&) = delete;

    // Takes over what `o` holds (both write into storage of their own).
    void take_contents(RenderOutput& o) {
        std::swap(store_, o.store_);
        std::swap(data_, o.data_);
        std::swap(cap_, o.cap_);
        std::swap(len_, o.len_);
        std::swap(source_bytes_, o.source_bytes_);
        spans_.swap(o.spans_);
    }

    // Room for at least `more` more bytes.
    void reserve(size_t more) {
        if (len_ + more > cap_) grow(more);
    }
    void put(char c) {
        reserve(1);
        data_[len_++] = c;
    }
    void put(std::string_view t) {
        reserve(t.size());
        copy(data_ + len_, t.data(), t.size());
        len_ += t.size();
    }
    // Source text: kept as a span when spans are kept (joined to the span
    // before when it follows it in the source too), else written.
    void put_source(std::string_view t) {
        if (!keep_spans_) return put(t);
        if (t.empty()) return;
        if (!spans_.empty() && spans_.back().at == len_ && spans_.back().text + spans_.back().size == t.data()) {
            spans_.back().size += t.size();
        } else {
            spans_.push_back({len_, size(), t.data(), t.size()});
        }
        source_bytes_ += t.size();
    }
    // Size of the whole output so far.
    size_t size() const { return len_ + source_bytes_; }
    // What was written from `start` (an output offset) on, when nothing
    // since then came from the source (valid until the next write).
    std::string_view written_since(size_t start) const {
        size_t from = start - source_bytes_;
        return std::string_view(data_ + from, len_ - from);
    }
    // Appends the part [start, end) of `o`'s output.
    void put_part(const RenderOutput& o, size_t start, size_t end);

    RenderedText text() const { return {std::string_view(data_, len_), spans_}; }

    // Set when texts borrowed from the source are known to hold no carriage
    // return, so that writers may skip looking for them.
    bool borrowed_without_cr = false;

    // Runs `f(std::string&)` for helpers that append to a string. They
    // append to a string of their own: giving them the output would cut its
    // size down to what was written, and growing it again after them would
    // fill all the room beyond with zeros, every time.
    template <class F>
    void append_with(F&& f) {
        piece_.clear();
        f(piece_);
        put(piece_);
    }

private:
    [[gnu::noinline]] void grow(size_t more) {
        size_t want = cap_ * 2;
        if (want < len_ + more + 256) want = len_ + more + 256;
        if (str_) {
            str_->resize(want);
            data_ = str_->data();
        } else {
            // Large blocks are moved by remapping their pages, not copied.
            void* p = std::realloc(data_, want);
            if (!p) throw std::bad_alloc();
            data_ = static_cast<char*>(p);
        }
        cap_ = want;
    }
    // Most pieces are a few bytes: overlapping fixed-size moves beat a call.
    static void copy(char* d, const char* s, size_t n) {
        if (n <= 16) {
            if (n >= 8) {
                uint64_t a, b;
                std::memcpy(&a, s, 8);
                std::memcpy(&b, s + n - 8, 8);
                std::memcpy(d, &a, 8);
                std::memcpy(d + n - 8, &b, 8);
            } else if (n >= 4) {
                uint32_t a, b;
                std::memcpy(&a, s, 4);
                std::memcpy(&b, s + n - 4, 4);
                std::memcpy(d, &a, 4);
                std::memcpy(d + n - 4, &b, 4);
            } else if (n > 0) {
                d[0] = s[0];
                d[n / 2] = s[n / 2];
                d[n - 1] = s[n - 1];
            }
            return;
        }
        std::memcpy(d, s, n);
    }

    std::string* str_ = nullptr;
    char* data_ = nullptr;
    size_t cap_ = 0;
    size_t len_ = 0;
    bool keep_spans_ = false;
    size_t source_bytes_ = 0;  // in spans
    std::vector<SourceSpan> spans_;
    std::string piece_;
    Storage* store_ = nullptr;
};

inline void RenderOutput::put_part(const RenderOutput& o, size_t start, size_t end) {
    const std::vector<SourceSpan>& spans = o.spans_;
    // The first span that ends after `start`.
    size_t lo = 0, hi = spans.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (spans[mid].logical + spans[mid].size <= start) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    size_t pos = start;
    for (size_t i = lo; pos < end;) {
        if (i < spans.size() && pos >= spans[i].logical) {
            const SourceSpan& s = spans[i];
            size_t stop = std::min(end, s.logical + s.size);
            put_source(std::string_view(s.text + (pos - s.logical), stop - pos));
            pos = stop;
            ++i;
            continue;
        }
        // Written bytes up to the next span; the spans before `pos` hold
        // logical - at bytes.
        size_t source_before = i < spans.size() ? spans[i].logical - spans[i].at : o.source_bytes_;
        size_t stop = i < spans.size() ? std::min(end, spans[i].logical) : end;
        put(std::string_view(o.data_ + (pos - source_before), stop - pos));
        pos = stop;
    }
}

}  // namespace toml
