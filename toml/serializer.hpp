// Renders the model as TOML text. Recorded text is written back as it stands
// (carriage returns dropped from decors and trailing texts); absent text is
// replaced by the default of its position.
#pragma once

#include <string>
#include <string_view>

#include "model.hpp"

namespace toml {

class RenderOutput;

// Appends the whole document to `out`.
void render_document(const DocumentMut& doc, std::string& out);
// Renders the whole document into `out` (made WithSpans): the text copied
// from the source is left in place there, as spans.
void render_document(const DocumentMut& doc, RenderOutput& out);
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
