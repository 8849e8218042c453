// Grammar stage: lexes the text, matches the tokens against the TOML grammar
// and turns them into events. Reports grammar, nesting, comment and line-break errors; the
// first one ends the stage (nothing after it could be shown).
#pragma once

#include <string_view>
#include <vector>

#include "error.hpp"
#include "lexer.hpp"
#include "parser_events.hpp"

namespace toml::detail {

// A whole document, lexed from `start` (after a byte-order mark). Returns
// false when an error was reported. `carriage_returns` tells whether a line
// break held one. With a `sink`, the events of the statements before a header
// may be handed over to it and dropped from the list on the way.
bool grammar_document(std::string_view source, size_t start, EventList& events, ErrorSink& errors,
                      bool& carriage_returns, StatementSink* sink = nullptr);

// Exactly one value and nothing after it.
bool grammar_value(std::string_view source, EventList& events, ErrorSink& errors);

}  // namespace toml::detail
