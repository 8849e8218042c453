// Private to the decoder: unquoted scalars (booleans, integers, floats,
// date-times) and the errors of text that is none of them.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

#include "datetime.hpp"
#include "decode_report.hpp"
#include "decode_string.hpp"
#include "decoder.hpp"
#include "model.hpp"

namespace toml::decode_detail {

// Makes `out` hold a scalar; `out` holds a fresh value, whose texts are all
// absent. The decoders write into either a model value or a scalar decoded
// ahead (the same code, so both decode alike).
template <class T>
inline void put(Value& out, T value) {
    out.v.emplace_over_empty<Formatted<T>>(std::move(value));
}

template <class T>
inline void put(ScalarAhead& out, T value) {
    if constexpr (std::is_same_v<T, int64_t>) {
        out.kind = ValueKind::Integer;
        out.integer = value;
    } else if constexpr (std::is_same_v<T, double>) {
        out.kind = ValueKind::Float;
        out.number = value;
    } else if constexpr (std::is_same_v<T, bool>) {
        out.kind = ValueKind::Boolean;
        out.boolean = value;
    } else {
        static_assert(std::is_same_v<T, Datetime>);
        out.kind = ValueKind::Datetime;
        out.datetime = value;
    }
}

inline bool is_sign(char c) { return c == '+' || c == '-'; }

// (Plain loops: find_first_of looks each byte up in the set with memchr.)
inline bool has_blank(std::string_view t) {
    for (char c : t) {
        if (c == ' ' || c == '\t') return true;
    }
    return false;
}

inline bool has_float_mark(std::string_view t, size_t from) {
    for (size_t k = from; k < t.size(); ++k) {
        if (t[k] == '.' || t[k] == 'e' || t[k] == 'E') return true;
    }
    return false;
}

// Text that is no scalar at all: most likely a string without its quotes.
inline void report_unquoted_text(std::string_view t, Reporter& r) {
    const size_t n = t.size();
    if (t.ends_with("'''")) {
        r.report("missing opening quote", {lit("'''")}, 0, n);
    } else if (t.ends_with("\"\"\"")) {
        r.report("missing opening quote", {lit("\"\"\"")}, 0, n);
    } else if (t.ends_with('\'')) {
        r.report("missing opening quote", {lit("'")}, 0, n);
    } else if (t.ends_with('"')) {
        r.report("missing opening quote", {lit("\"")}, 0, n);
    } else {
        r.report("string values must be quoted", {desc("literal string")}, 0, n);
    }
}

// Every "_" in t[from, to) must have a digit on both sides inside that range.
// Integers count the letters a-f as digits whatever their radix.
inline void check_underscores(std::string_view t, size_t from, size_t to, bool hex_letters, Reporter& r) {
    auto digit = [&](size_t k) { return hex_letters ? is_hex_digit(t[k]) : is_digit(t[k]); };
    for (size_t k = from; k < to; ++k) {
        if (t[k] != '_') continue;
        if (k == from || k + 1 >= to || !digit(k - 1) || !digit(k + 1)) {
            r.report("`_` may only go between digits", {}, k, k + 1);
            return;
        }
    }
}

inline bool has_digit(std::string_view t, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k)
        if (is_digit(t[k])) return true;
    return false;
}

// Adds one digit to a magnitude; false once it exceeds `limit`.
inline bool accumulate(uint64_t& v, unsigned digit, unsigned radix, uint64_t limit) {
    uint64_t next;
    if (__builtin_mul_overflow(v, radix, &next) || __builtin_add_overflow(next, digit, &next) || next > limit) {
        return false;
    }
    v = next;
    return true;
}

constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

inline int64_t apply_sign(uint64_t magnitude, bool negative) {
    if (!negative) return static_cast<int64_t>(magnitude);
    if (magnitude == kMaxPositive + 1) return std::numeric_limits<int64_t>::min();
    return -static_cast<int64_t>(magnitude);
}

// 0x, 0o, 0b (and the refused 0d); `s` is where the "0" stands.
template <class Out>
inline void decode_radix_integer(std::string_view t, size_t s, Reporter& r, Out& out) {
    const size_t n = t.size();
    if (s > 0) r.report_bare("integers with a radix cannot be signed", 0, s);
    const char letter = t[s + 1];
    if (letter == 'd' || letter == 'D') {
        r.report_bare("redundant integer number prefix", s, s + 2);
        return;
    }
    if (letter == 'X') r.report("radix must be lowercase", {lit("0x")}, s, s + 2);
    if (letter == 'O') r.report("radix must be lowercase", {lit("0o")}, s, s + 2);
    if (letter == 'B') r.report("radix must be lowercase", {lit("0b")}, s, s + 2);
    const char lower = static_cast<char>(letter | 0x20);
    const unsigned radix = lower == 'x' ? 16 : lower == 'o' ? 8 : 2;
    const char* invalid = lower == 'x'   ? "invalid hexadecimal number"
                          : lower == 'o' ? "invalid octal number"
                                         : "invalid binary number";
    size_t d0 = s + 2;
    if (d0 < n && is_sign(t[d0])) {
        r.report_bare("unexpected sign", d0, d0 + 1);
        ++d0;
    }
    if (d0 == n) r.report_bare(invalid, d0, d0);
    uint64_t v = 0;
    bool overflow = false;
    for (size_t k = d0; k < n; ++k) {
        char c = t[k];
        if (c == '_') continue;
        unsigned dv = is_hex_digit(c) ? hex_value(c) : 99;
        if (dv >= radix) {
            r.report_bare(invalid, k, k + utf8_width(c));
            break;
        }
        if (!overflow && !accumulate(v, dv, radix, kMaxPositive)) overflow = true;
    }
    check_underscores(t, d0, n, true, r);
    if (overflow) r.report_bare("integer number overflowed", 0, n);
    if (r.failed()) return;
    return put<int64_t>(out, static_cast<int64_t>(v));
}

// Decimal integer: t[s, n) holds only digits and underscores.
template <class Out>
inline void decode_decimal_integer(std::string_view t, size_t s, bool negative, Reporter& r, Out& out) {
    const size_t n = t.size();
    if (t[s] == '0' && has_digit(t, s + 1, n)) r.report("unexpected leading zero", {}, s, s + 1);
    check_underscores(t, s, n, true, r);
    if (!has_digit(t, s, n)) r.report_bare("invalid integer number", 0, n);
    const uint64_t limit = negative ? kMaxPositive + 1 : kMaxPositive;
    uint64_t v = 0;
    for (size_t k = s; k < n; ++k) {
        if (t[k] == '_') continue;
        if (!accumulate(v, static_cast<unsigned>(t[k] - '0'), 10, limit)) {
            r.report_bare("integer number overflowed", 0, n);
            break;
        }
    }
    if (r.failed()) return;
    return put<int64_t>(out, apply_sign(v, negative));
}

// Rough decimal order of magnitude of a float text (digits, ".", exponent),
// enough to tell an overflow from an underflow.
inline int64_t decimal_order(std::string_view digits) {
    int64_t order = 0;
    bool seen_nonzero = false, in_fraction = false;
    size_t k = 0;
    for (; k < digits.size(); ++k) {
        char c = digits[k];
        if (c == '.') {
            in_fraction = true;
        } else if (c == 'e' || c == 'E') {
            break;
        } else if (is_digit(c)) {
            if (c != '0') seen_nonzero = true;
            if (!in_fraction && seen_nonzero) ++order;
            if (in_fraction && !seen_nonzero) --order;
        }
    }
    int64_t exponent = 0;
    bool negative_exponent = false;
    for (++k; k < digits.size(); ++k) {
        char c = digits[k];
        if (c == '-') negative_exponent = true;
        if (is_digit(c) && exponent < 100000) exponent = exponent * 10 + (c - '0');
    }
    return order + (negative_exponent ? -exponent : exponent);
}

// Exact powers of ten that a double holds.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The nearest double to a well-formed float text (digits, an optional
// fraction and an optional exponent, underscores between digits) when one
// multiplication or division of exact doubles gives it (at most 15
// significant digits and a decimal exponent of at most 22 either way): both
// operands are exact, so the one rounding is the correct one. False when that
// does not apply.
inline bool quick_float(std::string_view t, size_t s, bool negative, double& out) {
    const size_t n = t.size();
    uint64_t mantissa = 0;
    int digits = 0;  // significant digits taken into the mantissa
    int scale = 0;   // decimal exponent of the mantissa's last digit
    size_t k = s;
    for (; k < n && (is_digit(t[k]) || t[k] == '_'); ++k) {
        if (t[k] == '_') continue;
        if (digits > 0 || t[k] != '0') ++digits;
        mantissa = mantissa * 10 + static_cast<unsigned>(t[k] - '0');
        if (digits > 15) return false;
    }
    if (k < n && t[k] == '.') {
        for (++k; k < n && (is_digit(t[k]) || t[k] == '_'); ++k) {
            if (t[k] == '_') continue;
            if (digits > 0 || t[k] != '0') ++digits;
            mantissa = mantissa * 10 + static_cast<unsigned>(t[k] - '0');
            --scale;
            if (digits > 15) return false;
        }
    }
    if (k < n && (t[k] == 'e' || t[k] == 'E')) {
        ++k;
        bool negative_exponent = false;
        if (k < n && is_sign(t[k])) negative_exponent = t[k++] == '-';
        int exponent = 0;
        for (; k < n && (is_digit(t[k]) || t[k] == '_'); ++k) {
            if (t[k] == '_') continue;
            exponent = exponent * 10 + (t[k] - '0');
            if (exponent > 1000) return false;
        }
        scale += negative_exponent ? -exponent : exponent;
    }
    if (k != n || scale > 22 || scale < -22) return false;
    double d = static_cast<double>(mantissa);
    d = scale >= 0 ? d * kExactPowersOfTen[scale] : d / kExactPowersOfTen[-scale];
    out = negative ? -d : d;
    return true;
}

// Reads a well-formed float text as the nearest double.
template <class Out>
inline void convert_float(std::string_view t, size_t s, bool negative, Reporter& r, Out& out) {
    double quick;
    if (quick_float(t, s, negative, quick)) return put<double>(out, quick);
    // Short texts (nearly all) are cleaned on the stack.
    char small[64];
    std::string large;
    char* buf = small;
    if (t.size() - s + 1 > sizeof small) {
        large.resize(t.size() - s + 1);
        buf = large.data();
    }
    size_t len = 0;
    if (negative) buf[len++] = '-';
    for (size_t k = s; k < t.size(); ++k)
        if (t[k] != '_') buf[len++] = t[k];
    std::string_view clean(buf, len);
    double d = 0.0;
    const char* first = clean.data();
    const char* last = first + clean.size();
    auto [ptr, ec] = std::from_chars(first, last, d, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (decimal_order(clean.substr(negative ? 1 : 0)) > 0) {
            r.report_bare("floating-point number overflowed", 0, t.size());
            return;
        }
        d = negative ? -0.0 : 0.0;  // below the smallest subnormal
    } else if (ec != std::errc() || ptr != last) {
        r.report_bare("invalid float", 0, t.size());
        return;
    }
    if (std::isinf(d)) {
        r.report_bare("floating-point number overflowed", 0, t.size());
        return;
    }
    return put<double>(out, d);
}

// Index after a run of digits and underscores starting at k.
inline size_t digit_run_end(std::string_view t, size_t k) {
    while (k < t.size() && (is_digit(t[k]) || t[k] == '_')) ++k;
    return k;
}

// Mantissa, optional fraction, optional exponent; `s` is after any sign.
template <class Out>
inline void decode_float(std::string_view t, size_t s, bool negative, Reporter& r, Out& out) {
    const size_t n = t.size();
    size_t m_end = digit_run_end(t, s);
    if (!has_digit(t, s, m_end)) {
        r.report("invalid mantissa", {desc("digits")}, s, s);
        return;
    }
    if (t[s] == '0' && has_digit(t, s + 1, m_end)) r.report("unexpected leading zero", {}, s, s + 1);
    check_underscores(t, s, m_end, false, r);
    size_t k = m_end;
    if (k < n && t[k] == '.') {
        size_t f0 = ++k;
        k = digit_run_end(t, f0);
        if (!has_digit(t, f0, k)) {
            r.report("invalid fraction", {desc("digits")}, f0, f0);
            return;
        }
        check_underscores(t, f0, k, false, r);
    }
    if (k < n && (t[k] == 'e' || t[k] == 'E')) {
        ++k;
        if (k < n && is_sign(t[k])) ++k;
        size_t e0 = k;
        k = digit_run_end(t, e0);
        if (!has_digit(t, e0, k)) {
            r.report("invalid exponent", {desc("digits")}, e0, e0);
            return;
        }
        check_underscores(t, e0, k, false, r);
    }
    if (k < n) r.report("invalid float", {}, k, n);
    if (r.failed()) return;
    return convert_float(t, s, negative, r, out);
}

template <class Out>
inline void special_float(bool nan, bool negative, Out& out) {
    double d = nan ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity();
    return put<double>(out, std::copysign(d, negative ? -1.0 : 1.0));
}

template <class Out>
inline void decode_datetime_text(std::string_view t, Reporter& r, Out& out) {
    DatetimeParseError err;
    std::optional<Datetime> dt = parse_datetime(t, err);
    if (dt) return put<Datetime>(out, *dt);
    r.report_bare(r.quiet() ? std::string() : err.message(), 0, t.size());
}

// Text that starts with a digit (or, after a sign, a digit or "_"); `s` is
// after the sign.
template <class Out>
inline void decode_number(std::string_view t, size_t s, bool negative, Reporter& r, Out& out) {
    const size_t n = t.size();
    if (t[s] == '0' && s + 1 < n) {
        switch (t[s + 1]) {
            case 'x': case 'X': case 'o': case 'O': case 'b': case 'B': case 'd': case 'D':
                return decode_radix_integer(t, s, r, out);
            default: break;
        }
    }
    size_t k = s;
    uint64_t v = 0;
    while (k < n && is_digit(t[k])) {
        v = v * 10 + static_cast<unsigned>(t[k] - '0');
        ++k;
    }
    // The common case, in one pass: up to 18 plain digits (which cannot
    // overflow), without a leading zero.
    if (k == n && n - s <= 18 && (t[s] != '0' || n - s == 1)) return put<int64_t>(out, apply_sign(v, negative));
    if (k < n && (t[k] == '-' || t[k] == ':')) return decode_datetime_text(t, r, out);
    if (has_float_mark(t, s)) return decode_float(t, s, negative, r, out);
    if (digit_run_end(t, s) == n) return decode_decimal_integer(t, s, negative, r, out);
    return report_unquoted_text(t, r);
}

// The words true, false, inf and nan, misspelled.
inline void report_misspelled_word(std::string_view t, Reporter& r) {
    switch (t[0]) {
        case 't': case 'T': r.report("invalid boolean", {lit("true")}, 0, t.size()); break;
        case 'f': case 'F': r.report("invalid boolean", {lit("false")}, 0, t.size()); break;
        case 'i': case 'I': r.report("invalid float", {lit("inf")}, 0, t.size()); break;
        default: r.report("invalid float", {lit("nan")}, 0, t.size()); break;
    }
}

template <class Out>
inline void decode_unquoted(std::string_view t, Reporter& r, Out& out) {
    const size_t n = t.size();
    if (n == 0) {
        r.report("string values must be quoted", {desc("literal string")}, 0, 0);
        return;
    }
    const char c0 = t[0];
    if (is_digit(c0)) return decode_number(t, 0, false, r, out);
    if (has_blank(t)) return report_unquoted_text(t, r);
    if (is_sign(c0)) {
        if (n == 1) return report_unquoted_text(t, r);
        size_t s = 1;
        for (; s < n && is_sign(t[s]); ++s) r.report_bare("redundant numeric sign", s, s + 1);
        if (s == n) return report_unquoted_text(t, r);
        const bool negative = c0 == '-';
        std::string_view rest = t.substr(s);
        const char c = rest[0];
        if (c == '.') return decode_float(t, s, negative, r, out);
        if (is_digit(c) || c == '_') return decode_number(t, s, negative, r, out);
        if (rest == "inf" || rest == "nan") return special_float(rest == "nan", negative, out);
        return report_unquoted_text(t, r);
    }
    if (t == "true") return put<bool>(out, true);
    if (t == "false") return put<bool>(out, false);
    if (t == "inf" || t == "nan") return special_float(t == "nan", false, out);
    switch (c0) {
        case 't': case 'T': case 'f': case 'F': case 'i': case 'I': case 'n': case 'N':
            return report_misspelled_word(t, r);
        default:
            return report_unquoted_text(t, r);
    }
}

}  // namespace toml::decode_detail
