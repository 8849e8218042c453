// Cuts TOML text into tokens without judging their contents.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "raw_string.hpp"

namespace toml {

enum class TokenKind : uint8_t {
    Whitespace,      // maximal run of spaces and tabs
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
    TokenKind kind;
    uint32_t start;
    uint32_t end;
    Span span() const { return Span{start, end}; }
};

// Quoting kind of a string token or atom (Unquoted for everything else).
Quoting quoting_of(TokenKind kind);

// Lexes the whole text; the result always ends with one End token.
// Appends to `out` (cleared first), so a caller can reuse its buffer.
void lex(std::string_view text, std::vector<Token>& out);

}  // namespace toml
