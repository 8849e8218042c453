// The parse pipeline: the grammar stage (lexing as it goes) runs over the
// whole text and hands runs of complete statements to the assembly stage on
// the way; a grammar error outranks any assembly error, and within a stage
// the first error reported is the one returned.
#include "parser.hpp"

#include <algorithm>
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

// The event buffer is kept between parses so that small parses do not
// allocate; a very large one is given back.
constexpr size_t kKeptCapacity = 1 << 16;

detail::EventList& event_buffer(size_t text_size) {
    thread_local detail::EventList events;
    // Rarely more than one event per two bytes. A large document's events
    // are mostly used up on the way (the grammar stage makes more room when
    // they are not).
    events.reserve(std::min(text_size / 2 + 16, kKeptCapacity));
    return events;
}

void trim(detail::EventList& events) {
    if (events.capacity() > kKeptCapacity) detail::EventList().swap(events);
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

std::variant<DocumentMut, TomlError> parse_document(std::string_view text, std::shared_ptr<const void> owner) {
    if (text.size() > kMaxSourceSize) return too_large();
    bool bom = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    detail::EventList& events = event_buffer(text.size());
    ErrorSink errors;
    // The assembly stage runs alongside; an error of the grammar stage, found
    // even after some statements were assembled, is still the one reported.
    ErrorSink assembly_errors;
    DocumentMut doc;
    bool carriage_returns = false;
    {
        detail::DocumentAssembly assembly(text, events, bom, assembly_errors, doc);
        if (detail::grammar_document(text, bom ? kByteOrderMark.size() : 0, events, errors, carriage_returns,
                                     &assembly)) {
            assembly.finish();
        }
    }
    trim(events);
    if (errors.has_error()) return error_from(text, errors);
    if (assembly_errors.has_error()) return error_from(text, assembly_errors);
    doc.text_owner = std::move(owner);
    doc.source_text = text.data();
    doc.source_size = text.size();
    doc.source_has_cr = carriage_returns;
    return doc;
}

std::variant<DocumentMut, TomlError> parse_document(std::string_view text) {
    if (text.size() > kMaxSourceSize) return too_large();
    auto copy = std::make_shared<const std::string>(text);
    std::string_view view(*copy);
    return parse_document(view, std::move(copy));
}

std::variant<Value, TomlError> parse_value(std::string_view text) {
    if (text.size() > kMaxSourceSize) return too_large();
    detail::EventList& events = event_buffer(text.size());
    ErrorSink errors;
    Value value;
    if (detail::grammar_value(text, events, errors)) value = detail::assemble_value(text, events, errors);
    trim(events);
    if (errors.has_error()) return error_from(text, errors);
    value.decor().clear();
    return value;
}

}  // namespace toml
