// TOML 1.1.0 parser: text to the format-preserving model.
#pragma once

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

}  // namespace toml
