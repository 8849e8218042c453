// Token scanners and the whole-text lexing loop; every token is a byte range
// into the text.
#include "lexer.hpp"

#include <initializer_list>

#include "byte_scan_wide.hpp"

namespace toml {

namespace {

constexpr scan::Table make_table(std::initializer_list<unsigned char> bytes, scan::Table t = {}) {
    for (unsigned char c : bytes) t[c] = true;
    return t;
}
// Bytes that end an atom.
constexpr scan::Table kAtomStop = make_table({'\t', '\n', '\r', ' ', '#', ',', '.', '=', '[', ']', '{', '}'});
constexpr scan::Table make_not_bare_key_bytes() {
    scan::Table t{};
    for (unsigned c = 0; c < 256; ++c) {
        t[c] = !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-');
    }
    return t;
}
constexpr scan::Table kNotBareKeyByte = make_not_bare_key_bytes();
// Control characters stop the scan too, to tell plain strings apart.
constexpr scan::Table kBasicEnds = make_table({'\\', '"'}, scan::kControls);
constexpr scan::Table kLiteralEnds = make_table({'\''}, scan::kControls);
constexpr scan::Table kMlBasicEnds = make_table({'\\', '"'});
constexpr scan::Table kMlLiteralEnds = make_table({'\''});

// End of the atom that starts at p[i]; `bare`: it is made of bare-key bytes
// alone.
[[gnu::always_inline]] inline size_t atom_end(const char* p, size_t i, size_t n, bool& bare) {
    // Bare-key bytes first (nearly every atom is made of them alone), then
    // whatever else the atom holds.
    auto every = [](uint64_t) { return scan::kHighs; };
    i = scan::find_first_wide(p, i, n, kNotBareKeyByte, every, scan::not_bare_key16);
    bare = i >= n || kAtomStop[static_cast<unsigned char>(p[i])];
    if (!bare) {
        do {
            ++i;
        } while (i < n && !kAtomStop[static_cast<unsigned char>(p[i])]);
    }
    return i;
}

}  // namespace

namespace lexer_detail {

size_t scan_atom(std::string_view s, size_t i, bool& bare) { return atom_end(s.data(), i, s.size(), bare); }

// A single-line basic string ends after the closing quote, or before the line
// feed / at the end when unclosed.
size_t scan_basic(std::string_view s, size_t i, bool& plain) {
    const size_t n = s.size();
    auto flag = [](uint64_t w) { return scan::flag_controls(w) | scan::equal(w, '\\') | scan::equal(w, '"'); };
    auto flag16 = [](scan::Block b) {
        return scan::controls16(b) | scan::equal16(b, '\\') | scan::equal16(b, '"');
    };
    plain = true;
    size_t j = i + 1;
    for (;;) {
        j = scan::find_first_wide(s.data(), j, n, kBasicEnds, flag, flag16);
        if (j >= n) return n;
        char c = s[j];
        if (c == '"') return j + 1;
        if (c == '\n') return j;
        plain = false;
        if (c != '\\') {
            ++j;
            continue;
        }
        // An escaped backslash or quote is skipped whole.
        j += (j + 1 < n && (s[j + 1] == '\\' || s[j + 1] == '"')) ? 2 : 1;
    }
}

size_t scan_literal(std::string_view s, size_t i, bool& plain) {
    const size_t n = s.size();
    auto flag = [](uint64_t w) { return scan::flag_controls(w) | scan::equal(w, '\''); };
    auto flag16 = [](scan::Block b) { return scan::controls16(b) | scan::equal16(b, '\''); };
    plain = true;
    size_t j = i + 1;
    for (;;) {
        j = scan::find_first_wide(s.data(), j, n, kLiteralEnds, flag, flag16);
        if (j >= n) return n;
        char c = s[j];
        if (c == '\'') return j + 1;
        if (c == '\n') return j;
        plain = false;
        ++j;
    }
}

// A multi-line string starts with three delimiters; the closing run may carry
// one or two extra delimiters; unclosed strings run to the end.
size_t scan_multiline(std::string_view s, size_t i, char quote, bool escapes) {
    const size_t n = s.size();
    const scan::Table& ends = escapes ? kMlBasicEnds : kMlLiteralEnds;
    auto flag = [quote, escapes](uint64_t w) {
        return scan::equal(w, static_cast<uint8_t>(quote)) | (escapes ? scan::equal(w, '\\') : 0);
    };
    auto flag16 = [quote, escapes](scan::Block b) {
        return scan::equal16(b, quote) | (escapes ? scan::equal16(b, '\\') : 0u);
    };
    size_t j = i + 3;
    while (j < n) {
        j = scan::find_first_wide(s.data(), j, n, ends, flag, flag16);
        if (j >= n) break;
        if (s[j] != quote) {  // a backslash and the byte it escapes
            j += 2;
            continue;
        }
        if (j + 2 < n && s[j + 1] == quote && s[j + 2] == quote) {
            size_t end = j + 3;
            for (int extra = 0; extra < 2 && end < n && s[end] == quote; ++extra) ++end;
            return end;
        }
        ++j;
    }
    return n;
}

// A comment runs to the next line break or the end. `plain` tells whether it
// holds no control character but tabs.
size_t scan_comment(std::string_view s, size_t i, bool& plain) {
    const size_t n = s.size();
    size_t j = i + 1;
    plain = true;
    for (;;) {
        j = scan::find_first_wide(s.data(), j, n, scan::kControls, scan::flag_controls, scan::controls16);
        if (j >= n) return n;
        if (s[j] == '\n' || s[j] == '\r') return j;
        plain = false;
        ++j;
    }
}

}  // namespace lexer_detail

void Lexer::next_any(Token& out) {
    using namespace lexer_detail;
    const size_t n = text_.size();
    const char* s = text_.data();
    size_t start = i_;
    bool blank = false;
    if (start < n && (s[start] == ' ' || s[start] == '\t')) {
        blank = true;
        do {
            ++start;
        } while (start < n && (s[start] == ' ' || s[start] == '\t'));
    }
    if (start >= n) return put(out, TokenKind::End, n, n, blank);
    const TokenKind kind = kFirstByteKind[static_cast<unsigned char>(s[start])];
    // Atoms first: they are the most frequent tokens to come here.
    if (kind == TokenKind::Atom) {
        bool bare;
        size_t end = atom_end(s, start, n, bare);
        return put(out, kind, start, end, blank, bare);
    }
    switch (kind) {
        case TokenKind::Newline:
            if (s[start] != '\r') return put(out, kind, start, start + 1, blank);
            saw_carriage_return_ = true;
            return put(out, kind, start, start + ((start + 1 < n && s[start + 1] == '\n') ? 2 : 1), blank);
        case TokenKind::Comment: {
            bool plain;
            size_t end = scan_comment(text_, start, plain);
            return put(out, kind, start, end, blank, plain);
        }
        case TokenKind::BasicString:
            if (triple(start, '"')) {
                return put(out, TokenKind::MlBasicString, start, scan_multiline(text_, start, '"', true), blank);
            }
            {
                bool plain;
                size_t end = scan_basic(text_, start, plain);
                return put(out, kind, start, end, blank, plain);
            }
        case TokenKind::LiteralString:
            if (triple(start, '\'')) {
                return put(out, TokenKind::MlLiteralString, start, scan_multiline(text_, start, '\'', false), blank);
            }
            {
                bool plain;
                size_t end = scan_literal(text_, start, plain);
                return put(out, kind, start, end, blank, plain);
            }
        default:  // one-byte punctuation
            return put(out, kind, start, start + 1, blank);
    }
}

size_t Lexer::skip_scalar_rest(bool after_atom) {
    using namespace lexer_detail;
    const size_t n = text_.size();
    const char* s = text_.data();
    size_t i = i_;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '.') {
            ++i;
            after_atom = false;
            continue;
        }
        size_t start = i;
        if (c == ' ' || c == '\t') {
            if (!after_atom) break;
            do {
                ++start;
            } while (start < n && (s[start] == ' ' || s[start] == '\t'));
            if (start >= n) break;
        }
        // Right after an atom only blank space can lead to another.
        if (kFirstByteKind[static_cast<unsigned char>(s[start])] != TokenKind::Atom) break;
        bool bare;
        i = atom_end(s, start, n, bare);
        after_atom = true;
    }
    i_ = i;
    return i;
}

void lex(std::string_view text, std::vector<Token>& out) {
    out.clear();
    Lexer lexer(text);
    for (;;) {
        Token t = lexer.next();
        out.push_back(t);
        if (t.kind == TokenKind::End) return;
    }
}

}  // namespace toml
