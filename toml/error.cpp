// Parse error messages and their rendering with the offending source line.
#include "error.hpp"

#include <algorithm>
#include <cstdint>

namespace toml {
namespace {

bool all_ascii_control(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

void append_escaped(std::string_view s, std::string& out) {
    static const char kHex[] = "0123456789abcdef";
    for (char c : s) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\0': out += "\\0"; break;
            default: {
                auto b = static_cast<unsigned char>(c);
                out += "\\u{";
                if (b >= 0x10) out += kHex[b >> 4];
                out += kHex[b & 0xF];
                out += '}';
            }
        }
    }
}

void append_expectation(const Expectation& x, std::string& out) {
    if (x.kind == Expectation::Kind::Description) {
        out += x.text;
    } else if (x.text == "\n") {
        out += "newline";
    } else if (x.text == "`") {
        out += "'`'";
    } else if (!x.text.empty() && all_ascii_control(x.text)) {
        out += '`';
        append_escaped(x.text, out);
        out += '`';
    } else {
        out += '`';
        out += x.text;
        out += '`';
    }
}

// Number of characters in `s`, or nothing when `s` is not valid UTF-8.
std::optional<size_t> count_utf8_chars(std::string_view s) {
    size_t count = 0;
    size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        size_t len;
        uint32_t cp;
        if (b < 0x80) {
            ++i;
            ++count;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            cp = b & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + len > s.size()) return std::nullopt;
        for (size_t k = 1; k < len; ++k) {
            auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr uint32_t kMinForLength[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        i += len;
        ++count;
    }
    return count;
}

size_t decimal_digits(size_t n) {
    size_t d = 1;
    while (n >= 10) {
        n /= 10;
        ++d;
    }
    return d;
}

}  // namespace

std::string compose_message(const ReportedError& e) {
    std::string out = e.description;
    if (e.expected) {
        out += ", expected ";
        if (e.expected->empty()) {
            out += "nothing";
        } else {
            bool first = true;
            for (const Expectation& x : *e.expected) {
                if (!first) out += ", ";
                first = false;
                append_expectation(x, out);
            }
        }
    }
    return out;
}

std::string TomlError::render() const {
    std::string out;
    if (!span) {
        out = message;
        out += '\n';
        return out;
    }
    std::string_view src = source ? std::string_view(*source) : std::string_view();
    size_t line_start = 0;
    size_t line_index = 0;
    size_t column_index = span->start;
    if (!src.empty()) {
        size_t index = std::min<size_t>(span->start, src.size() - 1);
        size_t overflow = span->start - index;
        size_t lf = src.substr(0, index).rfind('\n');
        line_start = lf == std::string_view::npos ? 0 : lf + 1;
        line_index = static_cast<size_t>(std::count(src.begin(), src.begin() + line_start, '\n'));
        std::optional<size_t> chars = count_utf8_chars(src.substr(line_start, index - line_start + 1));
        column_index = (chars ? *chars - 1 : index - line_start) + overflow;
    }
    std::string_view line = src.substr(line_start);
    line = line.substr(0, line.find('\n'));

    size_t line_number = line_index + 1;
    size_t gutter = decimal_digits(line_number);
    size_t room = line.size() > column_index ? line.size() - column_index : 0;
    size_t carets = std::max<size_t>(std::min<size_t>(span->size(), room), 1);

    out.reserve(line.size() + message.size() + column_index + carets + 3 * gutter + 64);
    out += "TOML parse error at line ";
    out += std::to_string(line_number);
    out += ", column ";
    out += std::to_string(column_index + 1);
    out += '\n';
    out.append(gutter + 1, ' ');
    out += "|\n";
    out += std::to_string(line_number);
    out += " | ";
    out += line;
    out += '\n';
    out.append(gutter + 1, ' ');
    out += '|';
    out.append(column_index + 1, ' ');
    out.append(carets, '^');
    out += '\n';
    out += message;
    out += '\n';
    return out;
}

}  // namespace toml
