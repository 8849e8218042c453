// TOML 1.1.0 parser: text to the format-preserving model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <variant>

#include "error.hpp"
#include "model.hpp"

namespace toml {

// Parses a whole document. A UTF-8 byte-order mark at the very start is
// accepted and kept, so that the document renders it back.
//
// The model borrows its texts from `text`: `owner` must keep `text` alive and
// unchanged and becomes the document's text owner.
std::variant<DocumentMut, TomlError> parse_document(std::string_view text, std::shared_ptr<const void> owner);
// Same, on a copy of `text` that the document owns.
std::variant<DocumentMut, TomlError> parse_document(std::string_view text);

// Parses exactly one value with nothing before or after it. On success the
// value's outer decor is absent and all text is owned; its repr keeps the
// source spelling.
std::variant<Value, TomlError> parse_value(std::string_view text);

namespace detail {

// How parse_document runs its two stages: on one thread or two as the text's
// size makes worth it, or as told (so that tests can compare the ways).
enum class Threads : uint8_t { BySize, One, Two };

// parse_document(text, owner), run as `threads` says, handing runs of whole
// statements from the grammar stage to the assembly once they make
// `hand_over_from` events (at least 1); 0 takes the usual count.
std::variant<DocumentMut, TomlError> parse_document(std::string_view text, std::shared_ptr<const void> owner,
                                                    Threads threads, size_t hand_over_from);

}  // namespace detail

}  // namespace toml
