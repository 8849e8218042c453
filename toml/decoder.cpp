// Key parts and scalars: from source spelling to decoded text or value.
#include "decoder.hpp"

#include <type_traits>
#include <variant>

#include "decode_report.hpp"
#include "decode_scalar_text.hpp"
#include "decode_string.hpp"

namespace toml {

using namespace decode_detail;

namespace {

bool is_bare_key_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c) || c == '-' || c == '_';
}

void check_unquoted_key(std::string_view t, Reporter& r) {
    if (t.empty()) {
        r.report("unquoted keys cannot be empty", {desc("letters"), desc("numbers"), lit("-"), lit("_")}, 0, 0);
        return;
    }
    for (size_t k = 0; k < t.size(); ++k) {
        if (!is_bare_key_char(t[k])) {
            r.report("invalid unquoted key", {desc("letters"), desc("numbers"), lit("-"), lit("_")}, k,
                     k + utf8_width(t[k]));
            return;
        }
    }
}

Value decode_quoted(std::string_view t, Quoting quoting, Reporter& r) {
    Formatted<std::string> s;
    decode_string(t, quoting, r, s.value);
    return Value(std::move(s));
}

void set_span_repr(Value& v, Span span) {
    std::visit(
        [&](auto& alt) {
            using T = std::remove_cvref_t<decltype(alt)>;
            if constexpr (!std::is_same_v<T, Array> && !std::is_same_v<T, InlineTable>)
                alt.repr = RawString::from_span(span);
        },
        v.v);
}

}  // namespace

void decode_key_part(std::string_view source, Span span, Quoting quoting, ErrorSink& errors,
                     std::string& out) {
    out.clear();
    std::string_view t = source.substr(span.start, span.size());
    Reporter r(errors, span.start);
    switch (quoting) {
        case Quoting::Unquoted:
            check_unquoted_key(t, r);
            out.assign(t);
            return;
        case Quoting::MlBasic:
            r.report("keys cannot be multi-line basic strings", {desc("basic string"), desc("literal string")},
                     0, t.size());
            break;
        case Quoting::MlLiteral:
            r.report("keys cannot be multi-line literal strings", {desc("basic string"), desc("literal string")},
                     0, t.size());
            break;
        default:
            break;
    }
    decode_string(t, quoting, r, out);
}

Value decode_scalar(std::string_view source, Span span, Quoting quoting, ErrorSink& errors) {
    std::string_view t = source.substr(span.start, span.size());
    Reporter r(errors, span.start);
    Value v = quoting == Quoting::Unquoted ? decode_unquoted(t, r) : decode_quoted(t, quoting, r);
    set_span_repr(v, span);
    return v;
}

}  // namespace toml
