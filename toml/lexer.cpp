// One pass over the text; every token is a byte range into it.
#include "lexer.hpp"

#include <array>

namespace toml {

namespace {

// Bytes that end an atom.
constexpr std::array<bool, 256> make_atom_stops() {
    std::array<bool, 256> t{};
    for (unsigned char c : {'\t', '\n', '\r', ' ', '#', ',', '.', '=', '[', ']', '{', '}'}) t[c] = true;
    return t;
}
constexpr std::array<bool, 256> kAtomStop = make_atom_stops();

// End of a single-line basic string starting at `i` (the opening quote):
// after the closing quote, or before the line feed / at the end when unclosed.
size_t scan_basic(std::string_view s, size_t i) {
    size_t n = s.size();
    for (size_t j = i + 1; j < n; ++j) {
        char c = s[j];
        if (c == '\\') {
            if (j + 1 < n && (s[j + 1] == '\\' || s[j + 1] == '"')) ++j;
        } else if (c == '"') {
            return j + 1;
        } else if (c == '\n') {
            return j;
        }
    }
    return n;
}

// End of a single-line literal string starting at `i`.
size_t scan_literal(std::string_view s, size_t i) {
    size_t n = s.size();
    for (size_t j = i + 1; j < n; ++j) {
        if (s[j] == '\'') return j + 1;
        if (s[j] == '\n') return j;
    }
    return n;
}

// End of a multi-line string starting at `i` (three delimiters). The closing
// run may carry one or two extra delimiters; unclosed strings run to the end.
size_t scan_multiline(std::string_view s, size_t i, char quote, bool escapes) {
    size_t n = s.size();
    size_t j = i + 3;
    while (j < n) {
        char c = s[j];
        if (escapes && c == '\\') {
            j += 2;
            continue;
        }
        if (c == quote && j + 2 < n && s[j + 1] == quote && s[j + 2] == quote) {
            size_t end = j + 3;
            for (int extra = 0; extra < 2 && end < n && s[end] == quote; ++extra) ++end;
            return end;
        }
        ++j;
    }
    return n;
}

bool starts_triple(std::string_view s, size_t i, char q) {
    return i + 2 < s.size() && s[i + 1] == q && s[i + 2] == q;
}

}  // namespace

Quoting quoting_of(TokenKind kind) {
    switch (kind) {
        case TokenKind::BasicString: return Quoting::Basic;
        case TokenKind::MlBasicString: return Quoting::MlBasic;
        case TokenKind::LiteralString: return Quoting::Literal;
        case TokenKind::MlLiteralString: return Quoting::MlLiteral;
        default: return Quoting::Unquoted;
    }
}

void lex(std::string_view text, std::vector<Token>& out) {
    out.clear();
    out.reserve(text.size() / 4 + 1);
    const size_t n = text.size();
    size_t i = 0;
    auto push = [&](TokenKind k, size_t start, size_t end) {
        out.push_back(Token{k, static_cast<uint32_t>(start), static_cast<uint32_t>(end)});
    };
    while (i < n) {
        const size_t start = i;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case ' ':
            case '\t':
                while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
                push(TokenKind::Whitespace, start, i);
                continue;
            case '\n':
                push(TokenKind::Newline, start, ++i);
                continue;
            case '\r':
                i += (i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
                push(TokenKind::Newline, start, i);
                continue;
            case '#':
                while (i < n && text[i] != '\n' && text[i] != '\r') ++i;
                push(TokenKind::Comment, start, i);
                continue;
            case '"':
                if (starts_triple(text, i, '"')) {
                    i = scan_multiline(text, i, '"', true);
                    push(TokenKind::MlBasicString, start, i);
                } else {
                    i = scan_basic(text, i);
                    push(TokenKind::BasicString, start, i);
                }
                continue;
            case '\'':
                if (starts_triple(text, i, '\'')) {
                    i = scan_multiline(text, i, '\'', false);
                    push(TokenKind::MlLiteralString, start, i);
                } else {
                    i = scan_literal(text, i);
                    push(TokenKind::LiteralString, start, i);
                }
                continue;
            case '.': push(TokenKind::Dot, start, ++i); continue;
            case '=': push(TokenKind::Equals, start, ++i); continue;
            case ',': push(TokenKind::Comma, start, ++i); continue;
            case '[': push(TokenKind::LeftBracket, start, ++i); continue;
            case ']': push(TokenKind::RightBracket, start, ++i); continue;
            case '{': push(TokenKind::LeftBrace, start, ++i); continue;
            case '}': push(TokenKind::RightBrace, start, ++i); continue;
            default:
                break;
        }
        while (i < n && !kAtomStop[static_cast<unsigned char>(text[i])]) ++i;
        push(TokenKind::Atom, start, i);
    }
    push(TokenKind::End, n, n);
}

}  // namespace toml
