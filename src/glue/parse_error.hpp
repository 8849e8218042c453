// The ValueError raised for text that does not parse.
#pragma once

#include "glue/error.hpp"
#include "toml/error.hpp"

namespace quillon {

// ValueError whose message is the rendered report and whose `lineno` and
// `colno` attributes give the 1-based line and character column of the
// error (None for an error without a position).
Error parse_error(const toml::TomlError& err);

}  // namespace quillon
