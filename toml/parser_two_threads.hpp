// A large document is parsed on two threads: the grammar stage runs on a
// second one and hands runs of whole statements over to the assembly stage,
// which stays on the calling thread (the model's memory then comes from the
// caller's allocator, as it does for a small document). While the assembly
// has runs waiting, the grammar thread also decodes their scalars, so that
// the two threads share the work about evenly.
#pragma once

#include <cstddef>
#include <string_view>

#include "error.hpp"
#include "model.hpp"

namespace toml::detail {

// Whether a text of this size is worth a second thread.
bool worth_two_threads(size_t text_size);

// Both stages over `text`, with the outcome parse_document reads from a
// parse on one thread: the errors of each stage, the document and whether a
// line break held a carriage return. Lexing starts at `start`; statements go
// over to the assembly once they make `hand_over_from` events. Returns false,
// having done nothing, when no thread could be started.
bool parse_on_two_threads(std::string_view text, size_t start, bool bom, ErrorSink& grammar_errors,
                          ErrorSink& assembly_errors, DocumentMut& doc, bool& carriage_returns,
                          size_t hand_over_from);

}  // namespace toml::detail
