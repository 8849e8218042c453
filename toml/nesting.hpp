// How deep a document may nest, one limit for every way content comes in.
//
// The depth of a table, inline table, array or array of tables is the number
// of such containers from the root down to it, itself included (the root
// table is depth 0; a member table of an array of tables lies one level below
// the array). Within this limit every header and key path has at most as many
// parts, and every value as many brackets, as the parser accepts, and every
// recursive walk of the model stays far from the end of the C stack.
#pragma once

#include "model.hpp"

namespace toml {

inline constexpr int kMaxNesting = 80;

inline constexpr const char kTooDeepMessage[] = "cannot recurse further; max recursion depth met";

// Whether every container in `item` lies at most `levels` levels down, the
// item itself being level 1 when it is a container. Looks no deeper than
// `levels` + 1, so it is safe on anything.
bool nesting_fits(const Item& item, int levels);
bool nesting_fits(const Value& value, int levels);
bool nesting_fits(const Table& table, int levels);

}  // namespace toml
