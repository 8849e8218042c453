// Renders the model as TOML text. Recorded text is written back as it stands
// (carriage returns dropped from decors and trailing texts); absent text is
// replaced by the default of its position.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "model.hpp"
#include "render_output.hpp"

namespace toml {

// Texts of tables that render otherwise than their source spells them, kept
// from one rendering of a document for the next (only one document's
// renderings may use it).
class RenderCache {
public:
    // The text that the last rendering kept at `at` for the table whose
    // decor prefix starts at `owner`, or empty.
    std::string_view kept(size_t at, const char* owner) const {
        Head head;
        if (at >= old_.size() || old_.size() - at < sizeof head) return {};
        std::memcpy(&head, old_.data() + at, sizeof head);
        if (head.owner != owner || head.size > old_.size() - at - sizeof head) return {};
        return std::string_view(old_.data() + at + sizeof head, head.size);
    }
    // Keeps `text` for the next rendering; returns where.
    size_t keep(std::string_view text, const char* owner) {
        size_t at = new_.size();
        Head head{owner, text.size()};
        new_.append(reinterpret_cast<const char*>(&head), sizeof head);
        new_.append(text);
        return at;
    }
    void begin() { new_.clear(); }
    size_t tables = 0;  // how many the last rendering wrote
    RenderOutput::Storage output;  // for the written bytes
    // After a whole rendering: what it kept replaces what was kept before.
    void finish() {
        old_.swap(new_);
        new_.clear();
        if (new_.capacity() > 2 * old_.size() + 4096) std::string().swap(new_);
    }

private:
    struct Head {
        const char* owner;
        size_t size;
    };
    std::string old_;
    std::string new_;
};

// Appends the whole document to `out`.
void render_document(const DocumentMut& doc, std::string& out);
// Renders the whole document into `out` (made WithSpans): the text copied
// from the source is left in place there, as spans. `cache` serves all the
// renderings of this document.
void render_document(const DocumentMut& doc, RenderCache& cache, RenderOutput& out);
std::string to_string(const DocumentMut& doc);

// A single model item: a value on its own (present decor sides written, absent
// ones empty); a table as its key/value body lines only; an array of tables as
// the one-line array of inline tables it converts to; None as "".
void render_item(const Item& item, std::string& out);
std::string to_string(const Item& item);

// A value with empty defaults for its own decor.
void render_value(const Value& value, std::string& out);
std::string to_string(const Value& value);

// Default representations (what an absent repr renders as).
void default_string_repr(std::string_view s, std::string& out);
void default_float_repr(double d, std::string& out);
void default_integer_repr(int64_t i, std::string& out);
void default_key_repr(std::string_view key, std::string& out);
// Default representation of any scalar value (string, integer, float, boolean,
// date-time); nothing for arrays and inline tables.
void default_scalar_repr(const Value& value, std::string& out);

}  // namespace toml
