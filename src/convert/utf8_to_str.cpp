#include "convert/utf8_to_str.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "convert/source_chars.hpp"
#include "toml/render_output.hpp"

namespace quillon {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Widens (or copies) sixteen bytes (ASCII or Latin-1) into code units of
// type C.
template <class C>
inline void widen16(const unsigned char* p, C* out) {
    if constexpr (sizeof(C) == 1) {
        std::memcpy(out, p, 16);
    } else {
#if defined(__SSE2__)
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = _mm_unpacklo_epi8(bytes, zero);
        const __m128i hi = _mm_unpackhi_epi8(bytes, zero);
        if constexpr (sizeof(C) == 2) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), lo);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), hi);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(lo, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(lo, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpacklo_epi16(hi, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm_unpackhi_epi16(hi, zero));
        }
#else
        for (size_t k = 0; k < 16; ++k) out[k] = p[k];
#endif
    }
}

// Eight UCS-2 code units into UCS-4.
inline void widen8(const Py_UCS2* p, Py_UCS4* out) {
#if defined(__SSE2__)
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(units, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(units, zero));
#else
    for (size_t k = 0; k < 8; ++k) out[k] = p[k];
#endif
}

// Copies n code units of type S into type D (narrower only when every unit
// fits).
template <class S, class D>
void copy_units(const S* s, size_t n, D* d) {
    if constexpr (sizeof(S) == sizeof(D)) {
        std::memcpy(d, s, n * sizeof(S));
    } else {
        size_t i = 0;
        if constexpr (sizeof(S) == 1) {
            for (; i + 16 <= n; i += 16) widen16(s + i, d + i);
        } else if constexpr (sizeof(S) == 2 && sizeof(D) == 4) {
            for (; i + 8 <= n; i += 8) widen8(s + i, d + i);
        }
        for (; i < n; ++i) d[i] = static_cast<D>(s[i]);
    }
}

// Decodes UTF-8 into code units of type C (`out` holds exactly as many as the
// text has code points); false on anything that is not well-formed (the
// caller then lets the interpreter report it).
template <class C>
bool decode_utf8_into(const unsigned char* p, size_t n, C* out, C* out_end) {
    size_t i = 0;
    while (i < n) {
        // Runs of ASCII, sixteen bytes at a time while room is left for it.
        while (i + 16 <= n && out_end - out >= 16) {
            uint64_t a, b;
            std::memcpy(&a, p + i, 8);
            std::memcpy(&b, p + i + 8, 8);
            if (((a | b) & kHighBits) != 0) break;
            widen16(p + i, out);
            out += 16;
            i += 16;
        }
        if (i >= n) break;
        unsigned char b = p[i];
        if (b < 0x80) {
            if (out == out_end) return false;
            *out++ = b;
            ++i;
            continue;
        }
        uint32_t cp;
        size_t len;
        if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1Fu;
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0Fu;
            len = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07u;
            len = 4;
        } else {
            return false;
        }
        if (i + len > n || out == out_end) return false;
        for (size_t k = 1; k < len; ++k) {
            unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        *out++ = static_cast<C>(cp);
        i += len;
    }
    return out == out_end;
}

Py_UCS4 max_char_of_class(unsigned widest) {
    static constexpr Py_UCS4 kMax[] = {0x7F, 0xFF, 0xFFFF, 0x10FFFF};
    return kMax[widest];
}

// One stretch of the text, measured; copied from the source str when
// `source_start` is set.
struct Piece {
    std::string_view utf8;
    size_t chars;
    unsigned widest;
    bool ascii;
    bool from_source;
    size_t source_start;  // in characters
};

template <class C>
bool fill(const std::vector<Piece>& pieces, PyObject* source, C* out) {
    for (const Piece& piece : pieces) {
        const auto* p = reinterpret_cast<const unsigned char*>(piece.utf8.data());
        if (piece.from_source) {
            switch (PyUnicode_KIND(source)) {
                case PyUnicode_1BYTE_KIND:
                    copy_units(PyUnicode_1BYTE_DATA(source) + piece.source_start, piece.chars, out);
                    break;
                case PyUnicode_2BYTE_KIND:
                    copy_units(PyUnicode_2BYTE_DATA(source) + piece.source_start, piece.chars, out);
                    break;
                default:
                    copy_units(PyUnicode_4BYTE_DATA(source) + piece.source_start, piece.chars, out);
                    break;
            }
        } else if (piece.ascii) {
            copy_units(p, piece.chars, out);
        } else if (!decode_utf8_into(p, piece.utf8.size(), out, out + piece.chars)) {
            return false;
        }
        out += piece.chars;
    }
    return true;
}

PyObject* str_from_pieces(const std::vector<Piece>& pieces, PyObject* source) {
    size_t length = 0;
    unsigned widest = 0;
    for (const Piece& piece : pieces) {
        length += piece.chars;
        widest = std::max(widest, piece.widest);
    }
    PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(length), max_char_of_class(widest));
    if (!str) return nullptr;
    bool ok;
    switch (PyUnicode_KIND(str)) {
        case PyUnicode_1BYTE_KIND:
            ok = fill(pieces, source, PyUnicode_1BYTE_DATA(str));
            break;
        case PyUnicode_2BYTE_KIND:
            ok = fill(pieces, source, PyUnicode_2BYTE_DATA(str));
            break;
        default:
            ok = fill(pieces, source, PyUnicode_4BYTE_DATA(str));
            break;
    }
    if (ok) return str;
    Py_DECREF(str);
    // Not well-formed: the interpreter's decoder reports where.
    std::string joined;
    for (const Piece& piece : pieces) joined.append(piece.utf8);
    return PyUnicode_DecodeUTF8(joined.data(), static_cast<Py_ssize_t>(joined.size()), nullptr);
}

Piece utf8_piece(std::string_view text) {
    Utf8Measure m = measure_utf8(text);
    return Piece{text, m.chars, m.widest_class(), m.highest < 0x80, false, 0};
}

}  // namespace

Utf8Measure measure_utf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    Utf8Measure m;
    size_t i = 0;
#if defined(__SSE2__)
    // Continuation bytes (10xxxxxx) are the bytes below 0xC0 taken as signed
    // values; each compare adds one per such byte to a lane counter, which is
    // summed before it can overflow.
    const __m128i below_lead = _mm_set1_epi8(static_cast<char>(0xC0));
    __m128i highest = _mm_setzero_si128();
    while (i + 16 <= n) {
        __m128i counts = _mm_setzero_si128();
        size_t stop = std::min(n - (n - i) % 16, i + 16 * 255);
        for (; i < stop; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            highest = _mm_max_epu8(highest, bytes);
            counts = _mm_sub_epi8(counts, _mm_cmplt_epi8(bytes, below_lead));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        m.continuation += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
                          static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    alignas(16) unsigned char lanes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), highest);
    for (unsigned char lane : lanes) m.highest = std::max(m.highest, lane);
#endif
    for (; i < n; ++i) {
        unsigned char b = p[i];
        if ((b & 0xC0) == 0x80) ++m.continuation;
        m.highest = std::max(m.highest, b);
    }
    m.chars = n - m.continuation;
    return m;
}

PyObject* str_from_utf8(std::string_view text) { return str_from_pieces({utf8_piece(text)}, nullptr); }

PyObject* str_from_rendering(const toml::RenderedText& text, SourceChars* source) {
    std::vector<Piece> pieces;
    pieces.reserve(text.spans.size() * 2 + 1);
    text.each_piece([&](std::string_view t, bool from_source) {
        if (from_source && source && source->holds(t)) {
            size_t start = source->chars_before(t.data());
            size_t chars = source->chars_before(t.data() + t.size()) - start;
            pieces.push_back(Piece{t, chars, source->widest(t), false, true, start});
        } else {
            pieces.push_back(utf8_piece(t));
        }
    });
    return str_from_pieces(pieces, source ? source->str() : nullptr);
}

}  // namespace quillon
