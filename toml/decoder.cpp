// Key parts and scalars: from source spelling to decoded text or value.
#include "decoder.hpp"

#include <array>

#include "decode_report.hpp"
#include "decode_scalar_text.hpp"
#include "decode_string.hpp"

namespace toml {

using namespace decode_detail;

namespace {

constexpr std::array<bool, 256> make_bare_key_chars() {
    std::array<bool, 256> t{};
    for (unsigned c = 'a'; c <= 'z'; ++c) t[c] = true;
    for (unsigned c = 'A'; c <= 'Z'; ++c) t[c] = true;
    for (unsigned c = '0'; c <= '9'; ++c) t[c] = true;
    t['-'] = true;
    t['_'] = true;
    return t;
}
constexpr std::array<bool, 256> kBareKeyChars = make_bare_key_chars();

bool is_bare_key_char(char c) { return kBareKeyChars[static_cast<unsigned char>(c)]; }

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

}  // namespace

void decode_key_part(std::string_view source, Span span, Quoting quoting, ErrorSink& errors,
                     std::string& out) {
    out.clear();
    std::string_view t = source.substr(span.start, span.size());
    Reporter r(errors, span.start);
    switch (quoting) {
        case Quoting::Unquoted:
            check_unquoted_key(t, r);
            out.assign(t.data(), t.size());
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

void decode_scalar(std::string_view source, Span span, Quoting quoting, ErrorSink& errors, Value& out) {
    std::string_view t = source.substr(span.start, span.size());
    Reporter r(errors, span.start);
    if (quoting == Quoting::Unquoted) {
        out = decode_unquoted(t, r);
    } else {
        decode_string(t, quoting, r, out.v.emplace<Formatted<std::string>>().value);
    }
}

}  // namespace toml
