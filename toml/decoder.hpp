// Decoding of key parts and scalars: turns the source spelling into decoded
// text or a model value and reports what is wrong with it. Decoding goes on
// after an error so that the parse can continue; errors are reported to the
// sink with absolute spans into `source`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datetime.hpp"
#include "error.hpp"
#include "lexer.hpp"
#include "model.hpp"

namespace toml {

// Decodes one key part whose text is source[span]. The decoded text is
// written into `out` (cleared first).
void decode_key_part(std::string_view source, Span span, Quoting quoting, ErrorSink& errors,
                     std::string& out);

// Same, returning the decoded text: a view into `source` where the spelling
// holds it verbatim (`in_source`), else into `scratch`. `plain`: the lexer
// found a single-line string free of escapes and control characters, or an
// unquoted key made of bare-key bytes only.
std::string_view decode_key_text(std::string_view source, Span span, Quoting quoting, bool plain,
                                 ErrorSink& errors, std::string& scratch, bool& in_source);

// Decodes a scalar whose text is source[span] (for unquoted scalars, the
// joined run of atoms, dots and single whitespace tokens) and builds the model
// value into `out`, which must hold a default-constructed Value. Its repr and
// decor are absent. On error `out` stays as it was and the error is reported. `scratch` is
// room for decoding strings; `plain` as for keys; with `borrow`, a string whose token holds its
// text verbatim points into `source` (which the caller keeps alive).
void decode_scalar(std::string_view source, Span span, Quoting quoting, bool plain, ErrorSink& errors,
                   Value& out, std::string& scratch, bool borrow);

// A scalar decoded apart from the model (ahead of the assembly, on another
// thread): which kind it is, and the field of that kind. A string's decoded
// text stands at [at, at + size) of the source when `in_source`, else of the
// store that decoding appended it to.
struct ScalarAhead {
    ValueKind kind = ValueKind::Integer;
    bool boolean = false;
    bool in_source = false;
    uint32_t at = 0;
    uint32_t size = 0;
    int64_t integer = 0;
    double number = 0;
    Datetime datetime;
};

// Scalars decoded ahead, and the store of their decoded texts.
struct ScalarsAhead {
    const ScalarAhead* scalars = nullptr;
    const char* store = nullptr;
};

// Decodes the scalar source[span] into `out` as decode_scalar would into a
// model value; false, with nothing reported, when it has an error. A string
// whose decoded text is not in the source leaves it in `scratch`, for the
// caller to store and to set `out.at`.
bool decode_scalar_ahead(std::string_view source, Span span, Quoting quoting, bool plain, std::string& scratch,
                         ScalarAhead& out);

// Makes `out`, which holds a default-constructed Value, hold `scalar`, as
// decode_scalar would have (`borrow` as there).
void put_scalar(Value& out, const ScalarAhead& scalar, std::string_view source, const char* store, bool borrow);

}  // namespace toml
