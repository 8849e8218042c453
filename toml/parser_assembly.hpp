// Assembly stage: turns the events of a well-formed text into the model.
// Decodes keys and scalars and reports decoding and semantic errors (duplicate
// keys, dotted keys through values). Recorded text is borrowed from the source
// for documents and owned for single values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "decoder.hpp"
#include "error.hpp"
#include "model.hpp"
#include "parser_events.hpp"

namespace toml::detail {

// A document from all its events at once (for timing the stages apart; the
// parser itself uses DocumentAssembly). `bom` tells that the source starts
// with a byte-order mark (three bytes), kept in the root table's decor prefix.
void assemble_document(std::string_view source, const EventList& events, bool bom,
                       ErrorSink& errors, DocumentMut& doc);

class Assembler;

// Assembles a document while the grammar stage runs, from the statements it
// hands over; finish() takes the rest once the grammar stage has accepted the
// whole text. An error of the grammar stage outranks those in `errors`, even
// when found after them.
class DocumentAssembly final : public StatementSink {
public:
    // Statements are handed over once they make `hand_over_from` events.
    DocumentAssembly(std::string_view source, bool bom, ErrorSink& errors, DocumentMut& doc,
                     size_t hand_over_from);
    ~DocumentAssembly();
    void statements(EventList& events, size_t end, uint32_t root_lines) override;
    // Assembles events [0, end) and leaves the list as it is. A scalar event
    // whose count is k > 0 was decoded ahead into `ahead`'s k-th.
    void take(const EventList& events, size_t end, uint32_t root_lines, ScalarsAhead ahead = {});
    // The last events, which end with End.
    void finish(const EventList& events, ScalarsAhead ahead = {});

private:
    std::unique_ptr<Assembler> assembler_;
    DocumentMut& doc_;
    bool bom_;
    bool started_ = false;
};

Value assemble_value(std::string_view source, const EventList& events, ErrorSink& errors);

}  // namespace toml::detail
