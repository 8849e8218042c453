// TOML 1.1.0 parser: text to the format-preserving model.
#pragma once

#include <string_view>
#include <variant>

#include "error.hpp"
#include "model.hpp"

namespace toml {

// Parses a whole document. On success the model is despanned (owns all text).
// A UTF-8 byte-order mark at the very start is accepted and kept, so that the
// document renders it back.
std::variant<DocumentMut, TomlError> parse_document(std::string_view text);

// Parses exactly one value with nothing before or after it. On success the
// value's outer decor is absent and all text is owned; its repr keeps the
// source spelling.
std::variant<Value, TomlError> parse_value(std::string_view text);

}  // namespace toml
