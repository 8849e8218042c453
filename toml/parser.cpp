// The parse pipeline: lex everything, run the grammar over all tokens, then
// assemble; the first error reported anywhere is the one returned. Assembly
// copies recorded text out of the source as it goes, so the model handed out
// holds no spans.
#include "parser.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lexer.hpp"
#include "parser_assembly.hpp"
#include "parser_events.hpp"
#include "parser_grammar.hpp"

namespace toml {
namespace {

// Spans are 32-bit.
constexpr uint64_t kMaxSourceSize = 0xFFFFFFFFull;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Token and event buffers kept between parses so that small parses do not
// allocate; very large ones are given back.
constexpr size_t kKeptCapacity = 1 << 16;

struct Buffers {
    std::vector<Token> tokens;
    std::vector<detail::Event> events;
    void trim() {
        if (tokens.capacity() > kKeptCapacity) std::vector<Token>().swap(tokens);
        if (events.capacity() > kKeptCapacity) std::vector<detail::Event>().swap(events);
    }
};

Buffers& buffers() {
    thread_local Buffers b;
    return b;
}

[[gnu::cold]] TomlError too_large() {
    TomlError e;
    e.message = "TOML text is too large: 4 GiB or more";
    e.source = std::make_shared<const std::string>();
    return e;
}

[[gnu::cold]] TomlError error_from(std::string_view text, ErrorSink& errors) {
    TomlError e;
    const ReportedError& first = *errors.first();
    e.message = compose_message(first);
    e.source = std::make_shared<const std::string>(text);
    e.span = first.unexpected;
    return e;
}

}  // namespace

std::variant<DocumentMut, TomlError> parse_document(std::string_view text) {
    if (text.size() > kMaxSourceSize) return too_large();
    Buffers& buf = buffers();
    bool bom = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    // At most one token per byte plus End: reserving the worst case up front
    // avoids regrowing (pages never written are never touched).
    buf.tokens.reserve(text.size() + 1);
    if (bom) {
        lex(text.substr(kByteOrderMark.size()), buf.tokens);
        for (Token& t : buf.tokens) {
            t.start += static_cast<uint32_t>(kByteOrderMark.size());
            t.end += static_cast<uint32_t>(kByteOrderMark.size());
        }
    } else {
        lex(text, buf.tokens);
    }
    ErrorSink errors;
    DocumentMut doc;
    if (detail::grammar_document(text, buf.tokens, buf.events, errors)) {
        detail::assemble_document(text, buf.events, bom, errors, doc);
    }
    buf.trim();
    if (errors.has_error()) return error_from(text, errors);
    return doc;
}

std::variant<Value, TomlError> parse_value(std::string_view text) {
    if (text.size() > kMaxSourceSize) return too_large();
    Buffers& buf = buffers();
    buf.tokens.reserve(text.size() + 1);
    lex(text, buf.tokens);
    ErrorSink errors;
    Value value;
    if (detail::grammar_value(text, buf.tokens, buf.events, errors)) {
        value = detail::assemble_value(text, buf.events, errors);
    }
    buf.trim();
    if (errors.has_error()) return error_from(text, errors);
    value.decor().clear();
    return value;
}

}  // namespace toml
