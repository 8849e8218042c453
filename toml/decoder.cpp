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

namespace {

// The content of a string token that holds its decoded text verbatim: closed
// by its delimiter, with no escape and nothing that decoding would report or
// change. Otherwise false, and decoding finds out what the token holds. The
// lexer has looked into single-line strings already (`plain`).
bool verbatim_string(std::string_view t, Quoting quoting, bool plain, std::string_view& content) {
    const size_t n = t.size();
    if (quoting == Quoting::Basic || quoting == Quoting::Literal) {
        const char quote = quoting == Quoting::Basic ? '"' : '\'';
        if (!plain || n < 2 || t[n - 1] != quote) return false;
        content = t.substr(1, n - 2);
        return true;
    }
    if (quoting != Quoting::MlBasic && quoting != Quoting::MlLiteral) return false;
    const char quote = quoting == Quoting::MlBasic ? '"' : '\'';
    if (n < 6) return false;
    for (size_t k = 0; k < 3; ++k) {
        if (t[k] != quote || t[n - 1 - k] != quote) return false;
    }
    const size_t start = skip_first_line_break(t, 3);
    const size_t end = n - 3;
    const std::array<bool, 256>& stops = quoting == Quoting::MlBasic ? kMlBasicStops : kMlLiteralStops;
    if (start > end || plain_run_end(t.substr(0, end), start, stops) != end) return false;
    content = t.substr(start, end - start);
    return true;
}

bool is_bare_key(std::string_view t) {
    for (char c : t) {
        if (!is_bare_key_char(c)) return false;
    }
    return !t.empty();
}

}  // namespace

std::string_view decode_key_text(std::string_view source, Span span, Quoting quoting, bool plain,
                                 ErrorSink& errors, std::string& scratch, bool& in_source) {
    std::string_view t = source.substr(span.start, span.size());
    std::string_view content;
    in_source = quoting == Quoting::Unquoted ? plain || is_bare_key(t)
                                             : (quoting == Quoting::Basic || quoting == Quoting::Literal) &&
                                                   verbatim_string(t, quoting, plain, content);
    if (in_source) return quoting == Quoting::Unquoted ? t : content;
    decode_key_part(source, span, quoting, errors, scratch);
    return scratch;
}

namespace {

// Where a decoded string stands verbatim in its token `t`, if it does: between
// the quotes, after the line break that opens a multi-line string.
bool verbatim_in(std::string_view t, Quoting quoting, std::string_view decoded, std::string_view& at) {
    size_t quotes = quoting == Quoting::MlBasic || quoting == Quoting::MlLiteral ? 3 : 1;
    if (t.size() < 2 * quotes) return false;
    std::string_view content = t.substr(quotes, t.size() - 2 * quotes);
    if (quotes == 3) {
        if (content.starts_with('\n')) {
            content.remove_prefix(1);
        } else if (content.starts_with("\r\n")) {
            content.remove_prefix(2);
        }
    }
    if (content != decoded) return false;
    at = content;
    return true;
}

// Makes `out` hold the string `text`: borrowed where it stands in the source
// (when borrowing is on and it fits), else a copy.
void put_string(Value& out, std::string_view text, bool in_source, bool borrow) {
    if (in_source && borrow && text.size() <= RawString::kBorrowMax) {
        out.v.emplace_over_empty<Formatted<DecodedText>>(
            DecodedText::borrowed(RawString::borrowed_unchecked(text.data(), text.size())));
    } else {
        out.v.emplace_over_empty<Formatted<DecodedText>>(DecodedText(text));
    }
}

}  // namespace

void decode_scalar(std::string_view source, Span span, Quoting quoting, bool plain, ErrorSink& errors,
                   Value& out, std::string& scratch, bool borrow) {
    std::string_view t = source.substr(span.start, span.size());
    Reporter r(errors, span.start);
    if (quoting == Quoting::Unquoted) {
        decode_unquoted(t, r, out);
        return;
    }
    std::string_view content;
    if (verbatim_string(t, quoting, plain, content)) return put_string(out, content, true, borrow);
    scratch.clear();
    decode_string(t, quoting, r, scratch);
    std::string_view at;
    bool in_source = borrow && scratch.size() <= RawString::kBorrowMax && verbatim_in(t, quoting, scratch, at);
    put_string(out, in_source ? at : std::string_view(scratch), in_source, borrow);
}

bool decode_scalar_ahead(std::string_view source, Span span, Quoting quoting, bool plain, std::string& scratch,
                         ScalarAhead& out) {
    std::string_view t = source.substr(span.start, span.size());
    ErrorSink unused;
    Reporter r(unused, 0);
    if (quoting == Quoting::Unquoted) {
        decode_unquoted(t, r, out);
        return !r.failed();
    }
    out.kind = ValueKind::String;
    std::string_view content;
    if (verbatim_string(t, quoting, plain, content)) {
        out.in_source = true;
        out.at = static_cast<uint32_t>(content.data() - source.data());
        out.size = static_cast<uint32_t>(content.size());
        return true;
    }
    scratch.clear();
    decode_string(t, quoting, r, scratch);
    if (r.failed()) return false;
    out.size = static_cast<uint32_t>(scratch.size());
    std::string_view at;
    if (verbatim_in(t, quoting, scratch, at)) {
        out.in_source = true;
        out.at = static_cast<uint32_t>(at.data() - source.data());
    }
    return true;
}

void put_scalar(Value& out, const ScalarAhead& scalar, std::string_view source, const char* store, bool borrow) {
    switch (scalar.kind) {
        case ValueKind::Integer: return put<int64_t>(out, scalar.integer);
        case ValueKind::Float: return put<double>(out, scalar.number);
        case ValueKind::Boolean: return put<bool>(out, scalar.boolean);
        case ValueKind::Datetime: return put<Datetime>(out, scalar.datetime);
        case ValueKind::String: break;
        default: return;
    }
    const char* base = scalar.in_source ? source.data() : store;
    put_string(out, std::string_view(base + scalar.at, scalar.size), scalar.in_source, borrow);
}

}  // namespace toml
