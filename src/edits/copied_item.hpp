// Making a copy of a model item fit wherever it is written next: the copy of an
// array element or inline-table entry may carry line breaks around it, and
// copied tables may carry the render positions of the place they came from.
#pragma once

#include <optional>
#include <string>

#include "toml/model.hpp"

namespace quillon {

// A prefix or suffix holding a line break gives way to the default of the new
// position. `element_comment` is the inline comment that the source container
// kept for the element ("# note"); when given it becomes the suffix, otherwise
// a comment on the first line of a dropped suffix is kept.
void fit_copied_value_decor(toml::Value& value, const std::optional<std::string>& element_comment);

// Tables of a copy render right after whatever precedes them where they land,
// not at the place of their source.
void forget_render_positions(toml::Item& item);

}  // namespace quillon
