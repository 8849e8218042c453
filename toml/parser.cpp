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
#include "parser_two_threads.hpp"

namespace toml {
namespace {

// Spans are 32-bit.
constexpr uint64_t kMaxSourceSize = 0xFFFFFFFFull;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Statements are handed over to the assembly once they make this many
// events: enough to make the hand-over rare (on two threads it wakes the
// other one), few enough to stay in the cache.
constexpr size_t kHandOverFrom = 1 << 12;

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
    return detail::parse_document(text, std::move(owner), detail::Threads::BySize, 0);
}

std::variant<DocumentMut, TomlError> detail::parse_document(std::string_view text, std::shared_ptr<const void> owner,
                                                            Threads threads, size_t hand_over_from) {
    if (text.size() > kMaxSourceSize) return too_large();
    bool bom = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    size_t start = bom ? kByteOrderMark.size() : 0;
    ErrorSink errors;
    // The assembly stage runs alongside; an error of the grammar stage, found
    // even after some statements were assembled, is still the one reported.
    ErrorSink assembly_errors;
    DocumentMut doc;
    bool carriage_returns = false;
    if (hand_over_from == 0) hand_over_from = kHandOverFrom;
    bool two = threads == Threads::Two || (threads == Threads::BySize && worth_two_threads(text.size()));
    if (!two || !parse_on_two_threads(text, start, bom, errors, assembly_errors, doc, carriage_returns,
                                      hand_over_from)) {
        EventList& events = event_buffer(text.size());
        {
            DocumentAssembly assembly(text, bom, assembly_errors, doc, hand_over_from);
            if (grammar_document(text, start, events, errors, carriage_returns, &assembly)) {
                assembly.finish(events);
            }
        }
        trim(events);
    }
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
