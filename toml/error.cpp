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

// Characters that start in `s`: every byte except UTF-8 continuation bytes.
// Counting lead bytes keeps a position that falls inside a character on
// that character instead of falling back to a byte count.
size_t count_chars(std::string_view s) {
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Where a position falls: its line (the source split at line feeds; a
// position past the end stays on the last line) and its column in characters.
struct Located {
    size_t line_index = 0;
    std::string_view line;
    size_t line_offset = 0;   // byte offset of `line` in the source
    size_t column_index = 0;  // characters before the position on its line
};

Located locate(std::string_view src, size_t start) {
    Located at;
    at.column_index = start;
    if (!src.empty()) {
        size_t index = std::min(start, src.size() - 1);
        size_t pos = std::min(start, src.size());
        size_t lf = src.substr(0, index).rfind('\n');
        at.line_offset = lf == std::string_view::npos ? 0 : lf + 1;
        at.line_index = static_cast<size_t>(std::count(src.begin(), src.begin() + at.line_offset, '\n'));
        at.column_index = count_chars(src.substr(at.line_offset, pos - at.line_offset)) + (start - pos);
    }
    at.line = src.substr(at.line_offset);
    at.line = at.line.substr(0, at.line.find('\n'));
    return at;
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

std::optional<TomlError::Position> TomlError::position() const {
    if (!span) return std::nullopt;
    std::string_view src = source ? std::string_view(*source) : std::string_view();
    Located at = locate(src, span->start);
    return Position{at.line_index + 1, at.column_index + 1};
}

std::string TomlError::render() const {
    std::string out;
    if (!span) {
        out = message;
        out += '\n';
        return out;
    }
    std::string_view src = source ? std::string_view(*source) : std::string_view();
    Located at = locate(src, span->start);
    std::string_view line = at.line;
    size_t column_index = at.column_index;

    // The carets cover the characters of the span that lie on the line, so
    // that they sit under the excerpt as a terminal shows it.
    size_t line_end = at.line_offset + line.size();
    size_t from = std::min<size_t>(span->start, line_end);
    size_t to = std::min<size_t>(span->end, line_end);
    size_t covered = to > from ? count_chars(src.substr(from, to - from)) : 0;
    size_t carets = std::max<size_t>(covered, 1);

    size_t line_number = at.line_index + 1;
    size_t gutter = decimal_digits(line_number);

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
