// Cuts TOML text into tokens without judging their contents.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "raw_string.hpp"

namespace toml {

enum class TokenKind : uint8_t {
    Newline,         // "\n", "\r\n" or a lone "\r"
    Comment,         // "#" up to (excluding) the next "\n" or "\r", or the end
    BasicString,     // "..."
    MlBasicString,   // """..."""
    LiteralString,   // '...'
    MlLiteralString, // '''...'''
    Dot,
    Equals,
    Comma,
    LeftBracket,
    RightBracket,
    LeftBrace,
    RightBrace,
    Atom,            // maximal run of any other bytes
    End,             // zero-length, at the end of the input
};

enum class Quoting : uint8_t { Unquoted, Basic, Literal, MlBasic, MlLiteral };

struct Token {
    uint32_t start;
    uint32_t end;
    TokenKind kind;
    // A comment without control characters (tabs aside); a single-line string
    // without them and without escapes; an atom made of bare-key bytes alone
    // (A-Z a-z 0-9 _ -).
    bool plain = false;
    // Blank space (spaces and tabs) stands right before the token; it runs
    // from the end of the token before.
    bool after_blank = false;
    uint8_t unused = 0;
    Span span() const { return Span{start, end}; }
};

namespace lexer_detail {
constexpr std::array<Quoting, 16> make_quotings() {
    std::array<Quoting, 16> t{};
    t.fill(Quoting::Unquoted);
    t[static_cast<size_t>(TokenKind::BasicString)] = Quoting::Basic;
    t[static_cast<size_t>(TokenKind::MlBasicString)] = Quoting::MlBasic;
    t[static_cast<size_t>(TokenKind::LiteralString)] = Quoting::Literal;
    t[static_cast<size_t>(TokenKind::MlLiteralString)] = Quoting::MlLiteral;
    return t;
}
inline constexpr std::array<Quoting, 16> kQuotingOfKind = make_quotings();
}  // namespace lexer_detail

// Quoting kind of a string token or atom (Unquoted for everything else).
inline Quoting quoting_of(TokenKind kind) { return lexer_detail::kQuotingOfKind[static_cast<size_t>(kind) & 15]; }

namespace lexer_detail {

// Ends of the tokens that span many bytes, for a token starting at `i`.
// `plain`: the string holds no escape and no control character but tabs.
size_t scan_basic(std::string_view s, size_t i, bool& plain);
size_t scan_literal(std::string_view s, size_t i, bool& plain);
size_t scan_multiline(std::string_view s, size_t i, char quote, bool escapes);
size_t scan_comment(std::string_view s, size_t i, bool& plain);
// `bare`: the atom is made of bare-key bytes alone (it is never empty).
size_t scan_atom(std::string_view s, size_t i, bool& bare);

// What the first byte of a token makes it; strings, comments and atoms are
// told apart further by the scanners.
constexpr std::array<TokenKind, 256> make_first_byte_kinds() {
    std::array<TokenKind, 256> t{};
    t.fill(TokenKind::Atom);
    // Spaces and tabs are skipped before a token is told apart.
    t['\n'] = TokenKind::Newline;
    t['\r'] = TokenKind::Newline;
    t['#'] = TokenKind::Comment;
    t['"'] = TokenKind::BasicString;
    t['\''] = TokenKind::LiteralString;
    t['.'] = TokenKind::Dot;
    t['='] = TokenKind::Equals;
    t[','] = TokenKind::Comma;
    t['['] = TokenKind::LeftBracket;
    t[']'] = TokenKind::RightBracket;
    t['{'] = TokenKind::LeftBrace;
    t['}'] = TokenKind::RightBrace;
    return t;
}
inline constexpr std::array<TokenKind, 256> kFirstByteKind = make_first_byte_kinds();

// Tokens of one byte whatever follows them: punctuation and "\n" (a "\r"
// may start a two-byte line break). End for every other byte.
constexpr std::array<TokenKind, 256> make_one_byte_kinds() {
    std::array<TokenKind, 256> t{};
    t.fill(TokenKind::End);
    for (char c : {'\n', '.', '=', ',', '[', ']', '{', '}'}) t[static_cast<unsigned char>(c)] = kFirstByteKind[c];
    return t;
}
inline constexpr std::array<TokenKind, 256> kOneByteKind = make_one_byte_kinds();

}  // namespace lexer_detail

// Produces the tokens of a text one at a time, from a start offset; once the
// text is used up every call yields End. Token positions are offsets into the
// whole text. Blank space is no token: the token after it is marked instead,
// as nearly every blank is only skipped.
class Lexer {
public:
    explicit Lexer(std::string_view text, size_t start = 0) : text_(text), i_(start) {}

    // Whether a line break so far held a carriage return (the only place
    // outside strings where one can stand in a well-formed text).
    bool saw_carriage_return() const { return saw_carriage_return_; }

    Token next() {
        Token t;
        next(t);
        return t;
    }

    // Writes the next token into `out`. Each half of a token is written in
    // one store, so that reading the token back right away is not held up.
    // About half the tokens are one byte long, with at most one space before
    // them: those are told apart here, the rest out of line.
    [[gnu::always_inline]] void next(Token& out) {
        using namespace lexer_detail;
        const char* s = text_.data();
        const size_t i = i_;
        if (i + 1 < text_.size()) {
            const bool blank = s[i] == ' ';
            const size_t at = i + blank;
            const TokenKind kind = kOneByteKind[static_cast<unsigned char>(s[at])];
            if (kind != TokenKind::End) return put(out, kind, at, at + 1, blank);
        }
        next_any(out);
    }

    // Lexing goes on from `i`, where the grammar has taken every byte before.
    void seek(size_t i) { i_ = i; }

    // For the grammar's unquoted scalars, whose tokens it need not see one by
    // one: moves past the atoms and dots that follow the current position
    // (the end of an atom when `after_atom`; else the end of a dot, or the
    // start of the scalar) while they join it: an atom or a dot right there,
    // or an atom after blank space that follows an atom. Returns the end of
    // the last one; the next token is lexed from there.
    size_t skip_scalar_rest(bool after_atom);

private:
    // Every token, blank space before it skipped.
    [[gnu::noinline]] void next_any(Token& out);

    void put(Token& out, TokenKind kind, size_t start, size_t end, bool blank, bool plain = false) {
        i_ = end;
        uint64_t positions = static_cast<uint64_t>(start) | (static_cast<uint64_t>(end) << 32);
        uint32_t tail = static_cast<uint32_t>(kind) | (static_cast<uint32_t>(plain) << 8) |
                        (static_cast<uint32_t>(blank) << 16);
        static_assert(offsetof(Token, end) == 4 && offsetof(Token, kind) == 8 && offsetof(Token, plain) == 9 &&
                      offsetof(Token, after_blank) == 10);
        std::memcpy(&out.start, &positions, sizeof positions);
        std::memcpy(&out.kind, &tail, sizeof tail);
    }
    bool triple(size_t i, char q) const {
        return i + 2 < text_.size() && text_[i + 1] == q && text_[i + 2] == q;
    }

    std::string_view text_;
    size_t i_;
    bool saw_carriage_return_ = false;
};

// Lexes the whole text; the result always ends with one End token.
// Appends to `out` (cleared first), so a caller can reuse its buffer.
void lex(std::string_view text, std::vector<Token>& out);

}  // namespace toml
