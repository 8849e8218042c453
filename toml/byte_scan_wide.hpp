// Scanning text sixteen bytes at a time where the processor offers it (SSE2),
// for the lexer's long runs: key and value atoms, strings and comments.
// Elsewhere, and for the last bytes of a text, eight at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "byte_scan.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace toml::scan {

#if defined(__SSE2__)

using Block = __m128i;

inline Block load16(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline unsigned mask_of(Block m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); }

// One bit per byte of the block, set where the byte equals `c`.
inline unsigned equal16(Block b, char c) { return mask_of(_mm_cmpeq_epi8(b, _mm_set1_epi8(c))); }

// Control characters other than tab, and DEL (see kControls). Compares are
// signed: bytes from 0x80 up are negative and never below 0x20 here.
inline unsigned controls16(Block b) {
    Block low = _mm_and_si128(_mm_cmplt_epi8(b, _mm_set1_epi8(0x20)), _mm_cmpgt_epi8(b, _mm_set1_epi8(-1)));
    Block tab = _mm_cmpeq_epi8(b, _mm_set1_epi8('\t'));
    return mask_of(_mm_andnot_si128(tab, low)) | equal16(b, 0x7F);
}

// Bytes other than A-Z a-z 0-9 _ and -. A range [lo, lo + k) is tested as
// one signed compare, after moving lo to the lowest signed byte.
inline unsigned not_bare_key16(Block b) {
    auto in_range = [](Block x, char lo, char k) {
        Block moved = _mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
        return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(-128 + k)));
    };
    Block letter = in_range(_mm_or_si128(b, _mm_set1_epi8(0x20)), 'a', 26);  // letters only land on a-z
    Block digit = in_range(b, '0', 10);
    Block sign = _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('_')), _mm_cmpeq_epi8(b, _mm_set1_epi8('-')));
    return ~mask_of(_mm_or_si128(_mm_or_si128(letter, digit), sign)) & 0xFFFFu;
}

#else

// Without SSE2 the sixteen-byte flags are never asked for.
struct Block {};
inline unsigned equal16(Block, char) { return 0; }
inline unsigned controls16(Block) { return 0; }
inline unsigned not_bare_key16(Block) { return 0; }

#endif

// Index of the first byte in p[i, n) whose table entry is set, or n.
// `flag16(block)` marks exactly the bytes of a sixteen-byte block that are
// set in the table; `flag8(word)` marks at least those of eight bytes, which
// are then checked against the table one by one (as find_first).
template <class Flag8, class Flag16>
inline size_t find_first_wide(const char* p, size_t i, size_t n, const Table& stops, Flag8 flag8,
                              [[maybe_unused]] Flag16 flag16) {
#if defined(__SSE2__)
    while (i + 16 <= n) {
        unsigned m = flag16(load16(p + i));
        if (m != 0) return i + static_cast<size_t>(__builtin_ctz(m));
        i += 16;
    }
#endif
    return find_first(p, i, n, stops, flag8);
}

}  // namespace toml::scan
