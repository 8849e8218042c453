// Decoding of key parts and scalars: turns the source spelling into decoded
// text or a model value and reports what is wrong with it. Decoding goes on
// after an error so that the parse can continue; errors are reported to the
// sink with absolute spans into `source`.
#pragma once

#include <string>
#include <string_view>

#include "error.hpp"
#include "lexer.hpp"
#include "model.hpp"

namespace toml {

// Decodes one key part whose text is source[span]. The decoded text is
// written into `out` (cleared first).
void decode_key_part(std::string_view source, Span span, Quoting quoting, ErrorSink& errors,
                     std::string& out);

// Decodes a scalar whose text is source[span] (for unquoted scalars, the
// joined run of atoms, dots and single whitespace tokens) and builds the model
// value. The value's repr is the span (RawString::from_span), its decor is
// default (absent). On error a String value is returned and the error is
// reported.
Value decode_scalar(std::string_view source, Span span, Quoting quoting, ErrorSink& errors);

}  // namespace toml
