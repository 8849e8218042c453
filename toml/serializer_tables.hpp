// Writing of the tables of a document (each with its header line and body) in
// document order, reusing text recorded from the source or an earlier rendering.
#pragma once

#include <string_view>

#include "model.hpp"
#include "render_output.hpp"
#include "serializer.hpp"

namespace toml::detail {

void write_tables(const Table& root, std::string_view source, RenderCache* cache, RenderOutput& out);

}  // namespace toml::detail
