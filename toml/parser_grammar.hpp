// Grammar stage: matches the tokens against the TOML grammar and turns them
// into events. Reports grammar, nesting, comment and line-break errors; the
// first one ends the stage (nothing after it could be shown).
#pragma once

#include <string_view>
#include <vector>

#include "error.hpp"
#include "lexer.hpp"
#include "parser_events.hpp"

namespace toml::detail {

// A whole document. Returns false when an error was reported.
bool grammar_document(std::string_view source, const std::vector<Token>& tokens,
                      std::vector<Event>& events, ErrorSink& errors);

// Exactly one value and nothing after it.
bool grammar_value(std::string_view source, const std::vector<Token>& tokens,
                   std::vector<Event>& events, ErrorSink& errors);

}  // namespace toml::detail
