// Default representations of scalars and keys: what a value or key without
// a recorded spelling renders as.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "serializer.hpp"

namespace toml {

namespace {

bool is_control(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F; }

// Writes `s` escaped for a basic string body. In the multi-line form line
// feeds stay raw and only every third quote mark of a run is escaped, which
// is enough to keep the closing delimiter unambiguous.
void write_escaped(std::string_view s, bool multiline, std::string& out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    size_t start = 0;
    int quote_run = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' && multiline) {
            if (++quote_run < 3) continue;
            quote_run = 0;
        } else {
            quote_run = 0;
            if (c >= 0x20 && c != '\\' && c != '"' && c != 0x7F) continue;
            if (c == '\n' && multiline) continue;
        }
        out.append(s.data() + start, i - start);
        start = i + 1;
        switch (c) {
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            default: {
                char esc[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
                out.append(esc, 6);
            }
        }
    }
    out.append(s.data() + start, s.size() - start);
}

void write_basic(std::string_view s, std::string& out) {
    out += '"';
    write_escaped(s, false, out);
    out += '"';
}

void write_literal(std::string_view s, std::string& out) {
    out += '\'';
    out += s;
    out += '\'';
}

bool is_bare_key(std::string_view key) {
    if (key.empty()) return false;
    for (char ch : key) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '_';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

void default_string_repr(std::string_view s, std::string& out) {
    bool control = false, backslash = false, newline = false;
    size_t sq_run = 0, dq_run = 0, max_sq = 0, max_dq = 0;
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\'') {
            max_sq = std::max(max_sq, ++sq_run);
        } else {
            sq_run = 0;
        }
        if (c == '"') {
            max_dq = std::max(max_dq, ++dq_run);
        } else {
            dq_run = 0;
        }
        if (c == '\\') {
            backslash = true;
        } else if (c == '\n') {
            newline = true;
        } else if (is_control(c)) {
            control = true;
        }
    }

    bool multiline_basic;
    if (!control && !backslash && !newline && max_dq == 0) {
        write_basic(s, out);
        return;
    } else if (!control && !newline && max_sq == 0) {
        write_literal(s, out);
        return;
    } else if (!control && !backslash && max_dq < 3) {
        multiline_basic = true;
    } else if (control || max_sq >= 3) {
        if (!newline) {
            write_basic(s, out);
            return;
        }
        multiline_basic = true;
    } else {
        multiline_basic = false;
    }

    const char* delim = multiline_basic ? "\"\"\"" : "'''";
    out += delim;
    if (newline) out += '\n';
    if (multiline_basic) {
        write_escaped(s, true, out);
    } else {
        out += s;
    }
    out += delim;
}

void default_integer_repr(int64_t i, std::string& out) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, i);
    out.append(buf, r.ptr);
}

void default_float_repr(double d, std::string& out) {
    if (std::isnan(d)) {
        out += std::signbit(d) ? "-nan" : "nan";
        return;
    }
    if (std::isinf(d)) {
        out += d < 0 ? "-inf" : "inf";
        return;
    }
    if (d == 0) {
        out += std::signbit(d) ? "-0.0" : "0.0";
        return;
    }
    // Shortest round-trip digits in scientific form, then laid out
    // positionally: d.ddddde[+-]XX.
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    const char* p = buf;
    const char* end = r.ptr;
    if (*p == '-') {
        out += '-';
        ++p;
    }
    char digits[24];
    size_t ndigits = 0;
    while (p < end && *p != 'e') {
        if (*p != '.') digits[ndigits++] = *p;
        ++p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
    // Number of digits before the decimal point.
    long point = static_cast<long>(exponent) + 1;
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out.append(digits, ndigits);
    } else if (static_cast<size_t>(point) >= ndigits) {
        out.append(digits, ndigits);
        out.append(static_cast<size_t>(point) - ndigits, '0');
        out += ".0";
    } else {
        out.append(digits, static_cast<size_t>(point));
        out += '.';
        out.append(digits + point, ndigits - static_cast<size_t>(point));
    }
}

void default_key_repr(std::string_view key, std::string& out) {
    if (is_bare_key(key)) {
        out += key;
        return;
    }
    bool control = false, special = false, single_quote = false;
    for (char ch : key) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c == 0x7F) control = true;
        if (c == '\\' || c == '"') special = true;
        if (c == '\'') single_quote = true;
    }
    if (!control && special && !single_quote) {
        write_literal(key, out);
    } else {
        write_basic(key, out);
    }
}

void default_scalar_repr(const Value& value, std::string& out) {
    switch (value.kind()) {
        case ValueKind::String:
            default_string_repr(value.as_string()->value, out);
            break;
        case ValueKind::Integer:
            default_integer_repr(value.as_integer()->value, out);
            break;
        case ValueKind::Float:
            default_float_repr(value.as_float()->value, out);
            break;
        case ValueKind::Boolean:
            out += value.as_boolean()->value ? "true" : "false";
            break;
        case ValueKind::Datetime:
            render_datetime(value.as_datetime()->value, out);
            break;
        case ValueKind::Array:
        case ValueKind::InlineTable:
            break;
    }
}

}  // namespace toml
