// Scanning text eight bytes at a time for the first byte of a small set
// (string delimiters, escapes, control characters, line ends).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace toml::scan {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

inline uint64_t load8(const char* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// High bit set in every byte of `x` that is below `n` (n <= 0x80). Bytes above
// a flagged one may be flagged too; the lowest flag is always right and no
// matching byte is ever missed.
constexpr uint64_t below(uint64_t x, uint8_t n) { return (x - kOnes * n) & ~x & kHighs; }
// Same for bytes equal to `c`.
constexpr uint64_t equal(uint64_t x, uint8_t c) {
    uint64_t y = x ^ (kOnes * c);
    return (y - kOnes) & ~y & kHighs;
}

using Table = std::array<bool, 256>;

// Index of the first byte in p[i, n) whose table entry is set, or n.
// `flag(word)` marks (as above) at least every byte of the word that is set
// in the table; flagged bytes are checked against the table one by one.
template <class Flag>
inline size_t find_first(const char* p, size_t i, size_t n, const Table& stops, Flag flag) {
    while (i + 8 <= n) {
        uint64_t m = flag(load8(p + i));
        while (m != 0) {
            size_t k = i + static_cast<size_t>(__builtin_ctzll(m) >> 3);
            if (stops[static_cast<unsigned char>(p[k])]) return k;
            m &= m - 1;
        }
        i += 8;
    }
    while (i < n && !stops[static_cast<unsigned char>(p[i])]) ++i;
    return i;
}

// Control characters other than tab, and DEL: what comments and strings may
// not hold.
constexpr Table make_controls() {
    Table t{};
    for (unsigned c = 0; c < 0x20; ++c) t[c] = c != '\t';
    t[0x7F] = true;
    return t;
}
inline constexpr Table kControls = make_controls();

inline uint64_t flag_controls(uint64_t w) { return below(w, 0x20) | equal(w, 0x7F); }

}  // namespace toml::scan
