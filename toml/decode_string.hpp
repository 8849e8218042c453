// Private to the decoder: the four kinds of quoted strings.
//
// Each routine appends the decoded content of one token to `out`. Runs of
// plain bytes are found with a table scan and copied in one go; only escapes,
// quotes and control characters are looked at one by one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "byte_scan.hpp"
#include "decode_report.hpp"
#include "lexer.hpp"

namespace toml::decode_detail {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_hex_digit(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline unsigned hex_value(char c) {
    if (c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

// Byte length of the UTF-8 sequence that starts with `lead` (1 for stray bytes).
inline size_t utf8_width(char lead) {
    auto b = static_cast<unsigned char>(lead);
    if (b >= 0xF0 && b < 0xF8) return 4;
    if (b >= 0xE0) return b < 0xF0 ? 3 : 1;
    if (b >= 0xC0) return 2;
    return 1;
}

inline void append_utf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Bytes that interrupt a run of plain content: the delimiter, the escape
// character where escapes exist, and control characters (tab always allowed;
// line feed allowed in multi-line strings, carriage return checked there).
constexpr std::array<bool, 256> make_stops(char quote, bool escapes, bool multiline) {
    std::array<bool, 256> t{};
    for (unsigned c = 0; c < 0x20; ++c) t[c] = true;
    t['\t'] = false;
    if (multiline) t['\n'] = false;
    t[0x7F] = true;
    t[static_cast<unsigned char>(quote)] = true;
    if (escapes) t['\\'] = true;
    return t;
}
constexpr auto kBasicStops = make_stops('"', true, false);
constexpr auto kMlBasicStops = make_stops('"', true, true);
constexpr auto kLiteralStops = make_stops('\'', false, false);
constexpr auto kMlLiteralStops = make_stops('\'', false, true);

// Every stop is a control character, DEL, a quote mark or a backslash.
inline size_t plain_run_end(std::string_view t, size_t i, const std::array<bool, 256>& stops) {
    return scan::find_first(t.data(), i, t.size(), stops, [](uint64_t w) {
        return scan::flag_controls(w) | scan::equal(w, '"') | scan::equal(w, '\'') | scan::equal(w, '\\');
    });
}

// Decodes the escape whose backslash is at t[j]; returns the index after it.
inline size_t decode_escape(std::string_view t, size_t j, Reporter& r, std::string& out) {
    const size_t n = t.size();
    const size_t k = j + 1;
    char c = k < n ? t[k] : '\0';
    switch (c) {
        case 'b': out += '\b'; return k + 1;
        case 't': out += '\t'; return k + 1;
        case 'n': out += '\n'; return k + 1;
        case 'f': out += '\f'; return k + 1;
        case 'r': out += '\r'; return k + 1;
        case 'e': out += '\x1B'; return k + 1;
        case '"': out += '"'; return k + 1;
        case '\\': out += '\\'; return k + 1;
        default: break;
    }
    size_t digits = c == 'x' ? 2 : c == 'u' ? 4 : c == 'U' ? 8 : 0;
    if (k >= n || digits == 0) {
        size_t w = k < n ? utf8_width(c) : 0;
        r.hold("missing escaped value",
               {lit("b"), lit("e"), lit("f"), lit("n"), lit("r"), lit("t"), lit("\\"), lit("\""),
                lit("x"), lit("u"), lit("U")},
               j, k + w > n ? n : k + w);
        return k;  // the stray character is kept as content
    }
    uint32_t cp = 0;
    size_t m = 0;
    while (m < digits && k + 1 + m < n && is_hex_digit(t[k + 1 + m])) {
        cp = cp * 16 + hex_value(t[k + 1 + m]);
        ++m;
    }
    const size_t end = k + 1 + m;
    if (m < digits) {
        r.hold("too few unicode value digits", {desc("unicode hexadecimal value")}, j, end);
        return end;
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        r.hold("invalid value", {desc("unicode hexadecimal value")}, j, end);
        return end;
    }
    append_utf8(cp, out);
    return end;
}

// Index after the line break at t[k] ("\n", "\r\n", or a lone "\r", which
// is reported). Content line breaks decode as "\n" whatever their spelling.
inline size_t skip_line_break(std::string_view t, size_t k, Reporter& r) {
    if (t[k] == '\n') return k + 1;
    if (k + 1 < t.size() && t[k + 1] == '\n') return k + 2;
    r.hold("carriage return must be followed by newline", {lit("\n")}, k + 1, k + 1);
    return k + 1;
}

// A backslash at t[j] that ends its line (only blanks before the line
// break) removes itself and all whitespace up to the next other character.
// Returns the index after that whitespace, or 0 when t[j] is an ordinary escape.
inline size_t skip_line_continuation(std::string_view t, size_t j, Reporter& r) {
    const size_t n = t.size();
    size_t k = j + 1;
    while (k < n && (t[k] == ' ' || t[k] == '\t')) ++k;
    if (k >= n || (t[k] != '\n' && t[k] != '\r')) return 0;
    while (k < n) {
        char c = t[k];
        if (c == ' ' || c == '\t') {
            ++k;
        } else if (c == '\n' || c == '\r') {
            k = skip_line_break(t, k, r);
        } else {
            break;
        }
    }
    return k;
}

// Index after the line break that directly follows an opening delimiter.
inline size_t skip_first_line_break(std::string_view t, size_t i) {
    if (i < t.size() && t[i] == '\n') return i + 1;
    if (i + 1 < t.size() && t[i] == '\r' && t[i + 1] == '\n') return i + 2;
    return i;
}

inline size_t quote_run(std::string_view t, size_t j, char quote) {
    size_t q = j;
    while (q < t.size() && t[q] == quote) ++q;
    return q - j;
}

// The four decoders return whether the token is properly closed; they never
// report delimiter problems themselves (see decode_string below).

inline bool decode_basic_content(std::string_view t, Reporter& r, std::string& out) {
    const size_t n = t.size();
    size_t i = 1;
    while (i < n) {
        size_t j = plain_run_end(t, i, kBasicStops);
        out.append(t.data() + i, j - i);
        if (j >= n) break;
        char c = t[j];
        if (c == '"') return j + 1 == n;
        if (c == '\\') {
            i = decode_escape(t, j, r, out);
            continue;
        }
        r.hold("invalid basic string", {desc("non-double-quote visible characters"), lit("\\")}, j, j + 1);
        out += c;
        i = j + 1;
    }
    return false;
}

inline bool decode_ml_basic_content(std::string_view t, Reporter& r, std::string& out) {
    const size_t n = t.size();
    size_t i = skip_first_line_break(t, 3);
    while (i < n) {
        size_t j = plain_run_end(t, i, kMlBasicStops);
        out.append(t.data() + i, j - i);
        if (j >= n) break;
        char c = t[j];
        if (c == '"') {
            size_t q = quote_run(t, j, '"');
            if (q >= 3) {
                out.append(q - 3, '"');  // quotes just before the closing delimiter
                return j + q == n;
            }
            out.append(q, '"');
            i = j + q;
        } else if (c == '\\') {
            size_t after = skip_line_continuation(t, j, r);
            i = after ? after : decode_escape(t, j, r, out);
        } else if (c == '\r') {
            i = skip_line_break(t, j, r);
            out += i - j == 2 ? '\n' : '\r';
        } else {
            r.hold("invalid multi-line basic string", {lit("\\"), desc("characters")}, j, j + 1);
            out += c;
            i = j + 1;
        }
    }
    return false;
}

inline bool decode_literal_content(std::string_view t, Reporter& r, std::string& out) {
    const size_t n = t.size();
    size_t i = 1;
    while (i < n) {
        size_t j = plain_run_end(t, i, kLiteralStops);
        out.append(t.data() + i, j - i);
        if (j >= n) break;
        if (t[j] == '\'') return j + 1 == n;
        r.hold("invalid literal string", {desc("non-single-quote visible characters")}, j, j + 1);
        out += t[j];
        i = j + 1;
    }
    return false;
}

inline bool decode_ml_literal_content(std::string_view t, Reporter& r, std::string& out) {
    const size_t n = t.size();
    size_t i = skip_first_line_break(t, 3);
    while (i < n) {
        size_t j = plain_run_end(t, i, kMlLiteralStops);
        out.append(t.data() + i, j - i);
        if (j >= n) break;
        char c = t[j];
        if (c == '\'') {
            size_t q = quote_run(t, j, '\'');
            if (q >= 3) {
                out.append(q - 3, '\'');
                return j + q == n;
            }
            out.append(q, '\'');
            i = j + q;
        } else if (c == '\r') {
            i = skip_line_break(t, j, r);
            out += i - j == 2 ? '\n' : '\r';
        } else {
            r.hold("invalid multi-line literal string", {desc("non-single-quote characters")}, j, j + 1);
            out += c;
            i = j + 1;
        }
    }
    return false;
}

struct StringKind {
    const char* invalid;  // message for a missing or unclosed delimiter
    const char* quote;
    size_t delimiter_len;
    bool (*content)(std::string_view, Reporter&, std::string&);
};

inline StringKind string_kind(Quoting quoting) {
    switch (quoting) {
        case Quoting::Basic: return {"invalid basic string", "\"", 1, decode_basic_content};
        case Quoting::MlBasic: return {"invalid multi-line basic string", "\"", 3, decode_ml_basic_content};
        case Quoting::Literal: return {"invalid literal string", "'", 1, decode_literal_content};
        default: return {"invalid multi-line literal string", "'", 3, decode_ml_literal_content};
    }
}

// Decodes a quoted token of the given kind into `out` (appending). A missing
// or unclosed delimiter is reported before any problem inside the string.
inline void decode_string(std::string_view t, Quoting quoting, Reporter& r, std::string& out) {
    const StringKind kind = string_kind(quoting);
    if (quote_run(t, 0, *kind.quote) < kind.delimiter_len) {
        r.report(kind.invalid, {lit(kind.quote)}, 0, 0);
        return;
    }
    out.reserve(out.size() + t.size());
    if (!kind.content(t, r, out)) r.report(kind.invalid, {lit(kind.quote)}, t.size(), t.size());
    r.release();
}

}  // namespace toml::decode_detail
