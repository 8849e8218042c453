// Rendering of documents, items and values into one output string.
#include <string>

#include "serializer.hpp"
#include "serializer_renderer.hpp"
#include "serializer_tables.hpp"

namespace toml {

using detail::Renderer;
using detail::write_side;
using detail::write_tables;

namespace {

// Output reserve when the document was not parsed: a per-entry guess.
constexpr size_t kBytesPerEntry = 24;

size_t size_guess(size_t entries) { return entries * kBytesPerEntry + 64; }

}  // namespace

namespace {

void write_document(const DocumentMut& doc, RenderCache* cache, RenderOutput& out) {
    const Table* root = doc.root.as_table();
    if (!root) throw InvariantError("root should always be a table");
    out.borrowed_without_cr = !doc.source_has_cr;
    // Text copied from the source is mostly left there (as spans), so the
    // written part is usually small; it grows as needed.
    out.reserve(doc.source_size ? doc.source_size / 8 + 64 : size_guess(root->items.raw_size()));

    write_side(root->decor.prefix, "", out);
    std::string_view source = doc.source_text ? std::string_view(doc.source_text, doc.source_size) : std::string_view();
    write_tables(*root, source, cache, out);
    write_side(root->decor.suffix, "", out);
    write_side(doc.trailing, "", out);
}

}  // namespace

void render_document(const DocumentMut& doc, RenderCache& cache, RenderOutput& out) {
    cache.begin();
    try {
        write_document(doc, &cache, out);
    } catch (...) {
        // Tables may point into texts that were not kept: all render afresh.
        const Table& root = doc.root_table();
        root.changed_below = true;
        root.source_length.set(0);
        throw;
    }
    cache.finish();
}

void render_document(const DocumentMut& doc, std::string& text) {
    RenderOutput out(RenderOutput::WithSpans{});
    write_document(doc, nullptr, out);
    RenderedText rendered = out.text();
    text.reserve(text.size() + rendered.size());
    rendered.each_piece([&](std::string_view piece, bool) { text.append(piece); });
}

std::string to_string(const DocumentMut& doc) {
    std::string out;
    render_document(doc, out);
    return out;
}

void render_item(const Item& item, std::string& out) {
    switch (item.kind()) {
        case ItemKind::None:
            break;
        case ItemKind::Value:
            render_value(*item.as_value(), out);
            break;
        case ItemKind::Table: {
            const Table& t = *item.as_table();
            RenderOutput o(out);
            o.reserve(size_guess(t.items.raw_size()));
            Renderer r{o, {}};
            r.body(t.items);
            break;
        }
        case ItemKind::ArrayOfTables: {
            ArrayOfTables copy = *item.as_array_of_tables();
            render_value(Value(std::move(copy).into_array()), out);
            break;
        }
    }
}

std::string to_string(const Item& item) {
    std::string out;
    render_item(item, out);
    return out;
}

void render_value(const Value& value, std::string& out) {
    RenderOutput o(out);
    Renderer r{o, {}};
    r.value(value, "", "");
}

std::string to_string(const Value& value) {
    std::string out;
    render_value(value, out);
    return out;
}

}  // namespace toml
