// Output buffer for rendering: appends straight into a std::string's storage
// (grown geometrically, never shrunk) and fixes the string's size when done.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace toml {

class RenderOutput {
public:
    explicit RenderOutput(std::string& s) : s_(s), len_(s.size()) {}
    // Writes from the start of `s` and leaves its size as it is (the text is
    // view()), so that a buffer kept for the next rendering is not filled
    // with zeros again.
    struct Reuse {};
    RenderOutput(std::string& s, Reuse) : s_(s), len_(0), keep_size_(true) {}
    ~RenderOutput() {
        if (!keep_size_) s_.resize(len_);
    }
    RenderOutput(const RenderOutput&) = delete;
    RenderOutput& operator=(const RenderOutput&) = delete;

    // Room for at least `total` more bytes.
    void reserve(size_t more) {
        if (len_ + more > s_.size()) grow(more);
    }
    void put(char c) {
        reserve(1);
        s_[len_++] = c;
    }
    void put(std::string_view t) {
        reserve(t.size());
        copy(&s_[0] + len_, t.data(), t.size());
        len_ += t.size();
    }
    size_t size() const { return len_; }
    // What was written so far (valid until the next write).
    std::string_view view() const { return std::string_view(s_.data(), len_); }

    // Set when texts borrowed from the source are known to hold no carriage
    // return, so that writers may skip looking for them.
    bool borrowed_without_cr = false;
    // Drops what was written after the first `size` bytes.
    void truncate(size_t size) {
        if (size < len_) len_ = size;
    }
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
        size_t want = s_.size() * 2;
        if (want < len_ + more + 256) want = len_ + more + 256;
        s_.resize(want);
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

    std::string& s_;
    size_t len_;
    bool keep_size_ = false;
    std::string piece_;
};

}  // namespace toml
