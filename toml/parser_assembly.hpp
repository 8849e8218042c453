// Assembly stage: turns the events of a well-formed text into the model.
// Decodes keys and scalars and reports decoding and semantic errors (duplicate
// keys, dotted keys through values). Recorded text is borrowed from the source
// for documents and owned for single values.
#pragma once

#include <string_view>
#include <vector>

#include "error.hpp"
#include "model.hpp"
#include "parser_events.hpp"

namespace toml::detail {

// `bom` tells that the source starts with a byte-order mark (three bytes),
// which is kept in the root table's decor prefix.
void assemble_document(std::string_view source, const EventList& events, bool bom,
                       ErrorSink& errors, DocumentMut& doc);

Value assemble_value(std::string_view source, const EventList& events, ErrorSink& errors);

}  // namespace toml::detail
